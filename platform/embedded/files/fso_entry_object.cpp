#include "platform/embedded/files/fso_entry_object.h"

namespace tarnwick::platform::embedded::files::fso {

Entry EntryObject::current(const MemberCall& call) {
    context_->check(call.name, path_);
    return looking_ == Looking::ForFile ? requireFile(*context_, path_)
                                        : requireFolder(*context_, path_);
}

Variant EntryObject::path(const MemberCall& call) {
    call.expectArguments(0, 0);
    context_->check(call.name, path_);
    return path_;
}

Variant EntryObject::name(const MemberCall& call) {
    auto entry = current(call);
    if (!call.isPut()) return entry.name();
    auto newName = automation::toText(call.putValue());
    checkSingleName(newName);
    if (entry.path.isRoot()) raiseScriptError(numbers::kPermissionDenied);
    auto target = entry.path.parent().child(newName).text();
    guarded(looking_, [&] { context_->files->move(path_, target); });
    path_ = context_->files->entry(target).pathText();
    return {};
}

Variant EntryObject::attributes(const MemberCall& call) {
    auto entry = current(call);
    if (!call.isPut()) return static_cast<int32_t>(entry.attributes);
    auto value = static_cast<uint32_t>(automation::toLong(call.putValue()));
    guarded(looking_, [&] { context_->files->setAttributes(path_, value); });
    return {};
}

Variant EntryObject::size(const MemberCall& call) {
    call.expectArguments(0, 0);
    current(call);
    return sizeValue(context_->files->size(path_));
}

Variant EntryObject::drive(const MemberCall& call) {
    call.expectArguments(0, 0);
    return driveName(current(call).pathText());
}

Variant EntryObject::move(const MemberCall& call) {
    call.expectArguments(1, 1);
    auto entry = current(call);
    auto destination = context_->absolute(call.text(0));
    moveTo(*context_, entry, destination);
    auto target = endsWithSeparator(destination) ? destination + entry.name() : destination;
    path_ = context_->files->entry(target).pathText();
    return {};
}

Variant EntryObject::shortPath(const MemberCall& call) {
    call.expectArguments(0, 0);
    current(call);
    return context_->files->shortPath(path_);
}

Variant EntryObject::shortName(const MemberCall& call) {
    call.expectArguments(0, 0);
    current(call);
    return fileName(context_->files->shortPath(path_));
}

}  // namespace tarnwick::platform::embedded::files::fso
