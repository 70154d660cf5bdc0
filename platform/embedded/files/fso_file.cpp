// File objects.
#include "platform/embedded/files/fso_objects.h"

namespace tarnwick::platform::embedded::files::fso {

namespace {

class FileObject : public automation::Dispatch {
  public:
    FileObject(ContextRef context, std::string path)
        : context_(std::move(context)), path_(std::move(path)) {}

    Variant invoke(std::string_view name, InvokeKind kind, std::span<Variant> args) override {
        return dispatch(*this, kMembers, name, kind, args);
    }

  private:
    // The file as it is now, after the fault check.
    Entry current(const MemberCall& call) {
        context_->check(call.name, path_);
        return requireFile(*context_, path_);
    }

    Variant path(const MemberCall& call) {
        call.expectArguments(0, 0);
        context_->check(call.name, path_);
        return path_;
    }

    Variant name(const MemberCall& call) {
        auto file = current(call);
        if (!call.isPut()) return file.name();
        auto newName = automation::toText(call.putValue());
        checkSingleName(newName);
        auto target = file.path.parent().child(newName).text();
        guarded(Looking::ForFile, [&] { context_->files->move(path_, target); });
        path_ = context_->files->entry(target).pathText();
        return {};
    }

    Variant attributes(const MemberCall& call) {
        auto file = current(call);
        if (!call.isPut()) return static_cast<int32_t>(file.attributes);
        auto value = static_cast<uint32_t>(automation::toLong(call.putValue()));
        guarded(Looking::ForFile, [&] { context_->files->setAttributes(path_, value); });
        return {};
    }

    Variant parentFolder(const MemberCall& call) {
        call.expectArguments(0, 0);
        return makeFolder(context_, current(call).path.parent().text());
    }

    Variant size(const MemberCall& call) {
        call.expectArguments(0, 0);
        current(call);
        return sizeValue(context_->files->size(path_));
    }

    Variant drive(const MemberCall& call) {
        call.expectArguments(0, 0);
        return driveName(current(call).pathText());
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

    Variant move(const MemberCall& call) {
        call.expectArguments(1, 1);
        auto file = current(call);
        auto destination = context_->absolute(call.text(0));
        moveTo(*context_, file, destination);
        auto target = endsWithSeparator(destination) ? destination + file.name() : destination;
        path_ = context_->files->entry(target).pathText();
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

    static constexpr std::array<Member<FileObject>, 12> kMembers{{
        {"", &FileObject::path},
        {"Path", &FileObject::path},
        {"Name", &FileObject::name, true},
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

    ContextRef context_;
    std::string path_;
};

}  // namespace

ObjectRef makeFile(ContextRef context, std::string path) {
    return std::make_shared<FileObject>(std::move(context), std::move(path));
}

}  // namespace tarnwick::platform::embedded::files::fso
