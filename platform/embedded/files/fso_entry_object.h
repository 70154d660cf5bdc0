// What File and Folder objects share: the path they stand for (Name and Move
// change it), the fault check and existence test before each member, and
// the members whose rules are the same for a file and a folder.
#pragma once

#include <string>

#include "platform/embedded/files/fso_objects.h"

namespace tarnwick::platform::embedded::files::fso {

class EntryObject : public automation::Dispatch {
protected:
    EntryObject(ContextRef context, std::string path, Looking looking)
        : context_(std::move(context)), path_(std::move(path)), looking_(looking) {}

    // The file or folder as it is now, after the fault check: 53 for a
    // missing file, 76 for a missing folder.
    Entry current(const MemberCall& call);

    Variant path(const MemberCall& call);
    // Get, or rename within its folder; a drive's root cannot be renamed.
    Variant name(const MemberCall& call);
    Variant attributes(const MemberCall& call);
    Variant size(const MemberCall& call);
    Variant drive(const MemberCall& call);
    Variant move(const MemberCall& call);
    // The path with the 8.3 alias of every name that has one, and the last
    // of those names ("" for a drive's root).
    Variant shortPath(const MemberCall& call);
    Variant shortName(const MemberCall& call);

    ContextRef context_;
    std::string path_;
    Looking looking_;
};

}  // namespace tarnwick::platform::embedded::files::fso
