// Folder objects and the Files and SubFolders collections of a folder.
#include "platform/embedded/files/fso_entry_object.h"

namespace tarnwick::platform::embedded::files::fso {

namespace {

class EntryCollection : public automation::Dispatch {
public:
    EntryCollection(ContextRef context, std::string folder, bool folders)
        : context_(std::move(context)), folder_(std::move(folder)), folders_(folders) {}

    Variant invoke(std::string_view name, InvokeKind kind, std::span<Variant> args) override {
        return dispatch(*this, kMembers, name, kind, args);
    }

private:
    Looking looking() const { return folders_ ? Looking::ForFolder : Looking::ForFile; }

    std::vector<Entry> entries(const MemberCall& call) {
        context_->check(call.name, folder_);
        auto all = guarded(Looking::ForFolder, [&] { return context_->files->children(folder_); });
        std::vector<Entry> wanted;
        for (auto& entry : all) {
            if (entry.folder == folders_) wanted.push_back(std::move(entry));
        }
        return wanted;
    }

    ObjectRef objectFor(const Entry& entry) {
        return folders_ ? makeFolder(context_, entry.pathText())
                        : makeFile(context_, entry.pathText());
    }

    Variant count(const MemberCall& call) {
        call.expectArguments(0, 0);
        return static_cast<int32_t>(entries(call).size());
    }

    Variant item(const MemberCall& call) {
        call.expectArguments(1, 1);
        auto name = call.text(0);
        checkSingleName(name);
        for (const auto& entry : entries(call)) {
            if (automation::equalsIgnoreCase(entry.name(), name)) return objectFor(entry);
        }
        raiseScriptError(folders_ ? numbers::kPathNotFound : numbers::kFileNotFound);
    }

    Variant enumerate(const MemberCall& call) {
        call.expectArguments(0, 0);
        Variant::Array objects;
        for (const auto& entry : entries(call)) objects.emplace_back(objectFor(entry));
        return objects;
    }

    Variant add(const MemberCall& call) {
        call.expectArguments(1, 1);
        if (!folders_) automation::raise(automation::errors::kMemberNotFound);
        auto name = call.text(0);
        context_->check(call.name, folder_);
        checkSingleName(name);
        auto created = guarded(Looking::ForFolder, [&] {
            return context_->files->createFolder(buildPath(folder_, name));
        });
        return makeFolder(context_, created.pathText());
    }

    // "Children" is what For Each yields, as the Windows adapter offers it
    // for every collection (platform/win32/dispatch_object.h).
    static constexpr std::array<Member<EntryCollection>, 6> kMembers{{
        {"", &EntryCollection::item},
        {"Item", &EntryCollection::item},
        {"Count", &EntryCollection::count},
        {"_NewEnum", &EntryCollection::enumerate},
        {"Children", &EntryCollection::enumerate},
        {"Add", &EntryCollection::add},
    }};

    ContextRef context_;
    std::string folder_;
    bool folders_;
};

class FolderObject : public EntryObject {
public:
    FolderObject(ContextRef context, std::string path)
        : EntryObject(std::move(context), std::move(path), Looking::ForFolder) {}

    Variant invoke(std::string_view name, InvokeKind kind, std::span<Variant> args) override {
        return dispatch(*this, kMembers, name, kind, args);
    }

private:
    Variant parentFolder(const MemberCall& call) {
        call.expectArguments(0, 0);
        auto folder = current(call);
        if (folder.path.isRoot()) return ObjectRef();  // Nothing
        return makeFolder(context_, folder.path.parent().text());
    }

    Variant isRootFolder(const MemberCall& call) {
        call.expectArguments(0, 0);
        return current(call).path.isRoot();
    }

    Variant type(const MemberCall& call) {
        call.expectArguments(0, 0);
        current(call);
        return "File Folder";
    }

    Variant files(const MemberCall& call) {
        call.expectArguments(0, 0);
        return ObjectRef(
            std::make_shared<EntryCollection>(context_, current(call).pathText(), false));
    }

    Variant subFolders(const MemberCall& call) {
        call.expectArguments(0, 0);
        return ObjectRef(
            std::make_shared<EntryCollection>(context_, current(call).pathText(), true));
    }

    Variant remove(const MemberCall& call) {
        call.expectArguments(0, 1);
        current(call);
        guarded(Looking::ForFolder,
                [&] { context_->files->deleteFolder(path_, call.flag(0, false)); });
        return {};
    }

    Variant copy(const MemberCall& call) {
        call.expectArguments(1, 2);
        current(call);
        copyFolderTo(*context_, path_, context_->absolute(call.text(0)), call.flag(1, true));
        return {};
    }

    Variant createTextFile(const MemberCall& call) {
        call.expectArguments(1, 3);
        auto folder = current(call);
        auto name = call.text(0);
        return fso::createTextFile(context_, buildPath(folder.pathText(), name),
                                   call.flag(1, false), call.flag(2, false));
    }

    static constexpr std::array<Member<FolderObject>, 17> kMembers{{
        {"", &FolderObject::path},
        {"Path", &FolderObject::path},
        {"Name", &FolderObject::name, true},
        {"ShortName", &FolderObject::shortName},
        {"ShortPath", &FolderObject::shortPath},
        {"Attributes", &FolderObject::attributes, true},
        {"ParentFolder", &FolderObject::parentFolder},
        {"Size", &FolderObject::size},
        {"IsRootFolder", &FolderObject::isRootFolder},
        {"Drive", &FolderObject::drive},
        {"Type", &FolderObject::type},
        {"Files", &FolderObject::files},
        {"SubFolders", &FolderObject::subFolders},
        {"Delete", &FolderObject::remove},
        {"Copy", &FolderObject::copy},
        {"Move", &FolderObject::move},
        {"CreateTextFile", &FolderObject::createTextFile},
    }};
};

}  // namespace

ObjectRef makeFolder(ContextRef context, std::string path) {
    return std::make_shared<FolderObject>(std::move(context), std::move(path));
}

}  // namespace tarnwick::platform::embedded::files::fso
