// What the FileSystemObject's objects share: the context they work in, the
// member tables they dispatch through, argument conversion and the mapping
// of file-system failures to script error numbers.
#pragma once

#include <array>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "automation/dispatch.h"
#include "automation/error.h"
#include "automation/text.h"
#include "platform/embedded/faults.h"
#include "platform/embedded/files/file_system.h"
#include "platform/system.h"

namespace tarnwick::platform::embedded::files::fso {

using automation::InvokeKind;
using automation::ObjectRef;
using automation::Variant;

namespace numbers {
inline constexpr int32_t kInvalidProcedureCall = 5;
inline constexpr int32_t kBadFileName = 52;
inline constexpr int32_t kFileNotFound = 53;
inline constexpr int32_t kBadFileMode = 54;
inline constexpr int32_t kFileAlreadyExists = 58;
inline constexpr int32_t kInputPastEnd = 62;
inline constexpr int32_t kPermissionDenied = 70;
inline constexpr int32_t kPathNotFound = 76;
}  // namespace numbers

// Raises a script error with its standard description.
[[noreturn]] void raiseScriptError(int32_t number);

// A name given to Name or to a collection's Item/Add: one name, no path
// (52 "Bad file name or number" otherwise).
void checkSingleName(std::string_view name);

struct Context {
    std::shared_ptr<FileSystem> files;
    std::shared_ptr<AnsiCodePage> ansi;
    std::shared_ptr<FaultInjector> faults;  // none: no call fails on purpose
    std::string currentFolder;

    // The path with a relative one resolved against the current folder.
    std::string absolute(std::string_view path) const;
    void check(std::string_view member, std::string_view path) const {
        if (faults) faults->check(member, path);
    }
};
using ContextRef = std::shared_ptr<const Context>;

// What a failure means depends on what the call was looking for: a missing
// file is 53, a missing folder 76.
enum class Looking { ForFile, ForFolder };

[[noreturn]] void raiseFileError(const FileError& error, Looking looking);

template <class Action>
auto guarded(Looking looking, Action&& action) {
    try {
        return action();
    } catch (const FileError& error) {
        raiseFileError(error, looking);
    }
}

// One member call as a member's handler sees it.
struct MemberCall {
    std::string_view name;  // the member's own spelling
    InvokeKind kind;
    std::span<Variant> args;

    bool isPut() const { return kind == InvokeKind::PropertyPut; }
    // Raises 450 unless the call has between `min` and `max` arguments.
    void expectArguments(size_t min, size_t max) const;
    std::string text(size_t index) const;
    bool flag(size_t index, bool fallback) const;
    int32_t number(size_t index, int32_t fallback) const;
    // The value of a property put.
    const Variant& putValue() const;
};

template <class Object>
struct Member {
    std::string_view name;
    Variant (Object::*handler)(const MemberCall&);
    bool writable = false;  // a property that takes puts
};

// Finds the member by name ignoring case and runs it; 438 for a name the
// object does not have or a put on a member that takes none.
template <class Object, size_t Count>
Variant dispatch(Object& object, const std::array<Member<Object>, Count>& members,
                 std::string_view name, InvokeKind kind, std::span<Variant> args) {
    for (const auto& member : members) {
        if (!automation::equalsIgnoreCase(member.name, name)) continue;
        if (kind == InvokeKind::PropertyPut && !member.writable) {
            automation::raise(automation::errors::kMemberNotFound);
        }
        return (object.*member.handler)(MemberCall{member.name, kind, args});
    }
    automation::raise(automation::errors::kMemberNotFound);
}

// A size as the object reports it: a Long when it fits, else a Double.
Variant sizeValue(uint64_t bytes);

// Path text as the real object takes it apart, without touching the drives.
bool endsWithSeparator(std::string_view path);
std::string parentFolderName(std::string_view path);
std::string fileName(std::string_view path);
std::string baseName(std::string_view path);
std::string extensionName(std::string_view path);
std::string driveName(std::string_view path);
std::string buildPath(std::string_view path, std::string_view name);

}  // namespace tarnwick::platform::embedded::files::fso
