// File objects.
#include "platform/embedded/files/fso_entry_object.h"

namespace tarnwick::platform::embedded::files::fso {

namespace {

class FileObject : public EntryObject {
public:
    FileObject(ContextRef context, std::string path)
        : EntryObject(std::move(context), std::move(path), Looking::ForFile) {}

    Variant invoke(std::string_view name, InvokeKind kind, std::span<Variant> args) override {
        return dispatch(*this, kMembers, name, kind, args);
    }

private:
    Variant parentFolder(const MemberCall& call) {
        call.expectArguments(0, 0);
        return makeFolder(context_, current(call).path.parent().text());
    }

    Variant remove(const MemberCall& call) {
        call.expectArguments(0, 1);
        current(call);
        guarded(Looking::ForFile, [&] { context_->files->deleteFile(path_, call.flag(0, false)); });
        return {};
    }

    Variant copy(const MemberCall& call) {
        call.expectArguments(1, 2);
        current(call);
        copyFileTo(*context_, path_, context_->absolute(call.text(0)), call.flag(1, true));
        return {};
    }

    Variant openAsTextStream(const MemberCall& call) {
        call.expectArguments(0, 2);
        current(call);
        auto mode = call.number(0, 1);
        auto format = call.number(1, 0);
        if ((mode != 1 && mode != 2 && mode != 8) || format < -2 || format > 0) {
            raiseScriptError(numbers::kInvalidProcedureCall);
        }
        return openTextStream(context_, path_, static_cast<StreamMode>(mode), false, format == -1);
    }

    Variant type(const MemberCall& call) {
        call.expectArguments(0, 0);
        auto extension = extensionName(current(call).name());
        return extension.empty() ? std::string("File")
                                 : automation::toUpperAscii(extension) + " File";
    }

    static constexpr std::array<Member<FileObject>, 14> kMembers{{
        {"", &FileObject::path},
        {"Path", &FileObject::path},
        {"Name", &FileObject::name, true},
        {"ShortName", &FileObject::shortName},
        {"ShortPath", &FileObject::shortPath},
        {"Attributes", &FileObject::attributes, true},
        {"ParentFolder", &FileObject::parentFolder},
        {"Size", &FileObject::size},
        {"Drive", &FileObject::drive},
        {"Delete", &FileObject::remove},
        {"Copy", &FileObject::copy},
        {"Move", &FileObject::move},
        {"OpenAsTextStream", &FileObject::openAsTextStream},
        {"Type", &FileObject::type},
    }};
};

}  // namespace

ObjectRef makeFile(ContextRef context, std::string path) {
    return std::make_shared<FileObject>(std::move(context), std::move(path));
}

}  // namespace tarnwick::platform::embedded::files::fso
