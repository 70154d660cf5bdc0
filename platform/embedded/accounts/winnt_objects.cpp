#include "platform/embedded/accounts/winnt_objects.h"

#include <cmath>

#include "automation/error.h"
#include "automation/text.h"
#include "platform/embedded/accounts/account_errors.h"

namespace tarnwick::platform::embedded::winnt {

namespace {

using automation::equalsIgnoreCase;
using automation::InvokeKind;
using automation::raise;
using automation::Variant;
namespace errors = automation::errors;

// One call as an object receives it.
struct Call {
    std::string_view name;
    InvokeKind kind;
    std::span<Variant> args;

    bool is(std::string_view member) const { return equalsIgnoreCase(name, member); }
    bool isPut() const { return kind == InvokeKind::PropertyPut; }
    // A method takes exactly `count` arguments and cannot be assigned to.
    void method(size_t count) const {
        if (isPut()) unknown();
        if (args.size() != count) raise(errors::kWrongArgumentCount);
    }
    // A property read takes no argument; an assignment takes the value.
    void property(bool writable) const {
        if (isPut() && !writable) unknown();
        if (args.size() != (isPut() ? 1u : 0u)) raise(errors::kWrongArgumentCount);
    }
    [[noreturn]] void unknown() const {
        raise(errors::kMemberNotFound,
              "Object doesn't support this property or method: '" + std::string(name) + "'");
    }
};

AccountKind classArgument(const Variant& value) {
    auto text = automation::toText(value);
    if (equalsIgnoreCase(text, "user")) return AccountKind::User;
    if (equalsIgnoreCase(text, "group")) return AccountKind::Group;
    raise(account_errors::kBadParameter, "One or more input parameters are invalid: " + text);
}

// A flag word as a script writes it: a Long, or a number up to 2^32 - 1.
uint32_t flagWord(const Variant& value) {
    double number = automation::toNumber(value);
    if (number >= -2147483648.0 && number <= 2147483647.0) {
        return static_cast<uint32_t>(automation::toLong(value));
    }
    if (number < 0 || number > 4294967295.0) raise(errors::kOverflow);
    return static_cast<uint32_t>(std::nearbyint(number));
}

[[noreturn]] void notFound(AccountKind kind) {
    if (kind == AccountKind::Group) {
        raise(account_errors::kGroupNotFound, "The group name could not be found.");
    }
    raise(account_errors::kUserNotFound, "The user name could not be found.");
}

}  // namespace

automation::ObjectRef open(const Context& context, const WinNTTarget& target) {
    if (target.name.empty()) return std::make_shared<ComputerObject>(context, target.computer);
    auto account = context->accounts->find(target.name);
    auto wanted = target.kind.value_or(account ? account->kind : AccountKind::User);
    if (!account || account->kind != wanted) notFound(wanted);
    return std::make_shared<AccountObject>(context, account->kind, target.computer, account->name,
                                           false);
}

// ---- the computer ----

ComputerObject::ComputerObject(Context context, std::string computer)
    : context_(std::move(context)), computer_(std::move(computer)) {}

Variant ComputerObject::invoke(std::string_view name, InvokeKind kind, std::span<Variant> args) {
    Call call{name, kind, args};
    if (call.is("Name") || call.is("Class") || call.is("ADsPath") || call.is("Parent")) {
        call.property(false);
        context_->pass(call.is("Name")      ? "Name"
                       : call.is("Class")   ? "Class"
                       : call.is("ADsPath") ? "ADsPath"
                                            : "Parent",
                       path());
        if (call.is("Name")) return Variant(computer_);
        if (call.is("Class")) return Variant("Computer");
        auto workgroupPath = "WinNT://" + context_->workgroup();
        return Variant(call.is("ADsPath") ? workgroupPath + "/" + computer_ : workgroupPath);
    }
    // For Each over the computer: its users and groups, each with its class.
    if (call.is("Children")) {
        call.property(false);
        context_->pass("Children", path());
        automation::Variant::Array children;
        for (const auto& account : context_->accounts->all()) {
            children.emplace_back(automation::ObjectRef(std::make_shared<AccountObject>(
                context_, account.kind, computer_, account.name, false)));
        }
        return Variant(std::move(children));
    }
    if (call.is("Create")) {
        call.method(2);
        context_->pass("Create", path());
        auto accountKind = classArgument(args[0]);
        return Variant(automation::ObjectRef(std::make_shared<AccountObject>(
            context_, accountKind, computer_, automation::toText(args[1]), true)));
    }
    if (call.is("Delete")) {
        call.method(2);
        context_->pass("Delete", path());
        auto accountKind = classArgument(args[0]);
        context_->accounts->remove(accountKind, automation::toText(args[1]));
        return Variant();
    }
    if (call.is("GetObject")) {
        call.method(2);
        context_->pass("GetObject", path());
        WinNTTarget target{computer_, automation::toText(args[1]), classArgument(args[0])};
        return Variant(open(context_, target));
    }
    if (call.is("SetInfo") || call.is("GetInfo")) {
        call.method(0);
        context_->pass(call.is("SetInfo") ? "SetInfo" : "GetInfo", path());
        return Variant();
    }
    if (call.is("Children")) {
        call.property(false);
        context_->pass("Children", path());
        Variant::Array accounts;
        for (const auto& account : context_->accounts->all()) {
            accounts.emplace_back(automation::ObjectRef(std::make_shared<AccountObject>(
                context_, account.kind, computer_, account.name, false)));
        }
        return Variant(std::move(accounts));
    }
    call.unknown();
}

// ---- users and groups ----

AccountObject::AccountObject(Context context, AccountKind kind, std::string computer,
                             std::string name, bool isNew)
    : context_(std::move(context)),
      kind_(kind),
      computer_(std::move(computer)),
      name_(std::move(name)),
      isNew_(isNew) {}

std::string AccountObject::parentPath() const {
    return "WinNT://" + context_->workgroup() + "/" + computer_;
}

AccountRecord AccountObject::stored() const {
    return kind_ == AccountKind::User ? context_->accounts->user(name_)
                                      : context_->accounts->group(name_);
}

Variant AccountObject::read(Property property) {
    switch (property) {
        case Property::FullName:
            if (changes_.fullName) return Variant(*changes_.fullName);
            break;
        case Property::Description:
            if (changes_.description) return Variant(*changes_.description);
            break;
        case Property::UserFlags:
            if (changes_.flags) return Variant(static_cast<int32_t>(*changes_.flags));
            break;
    }
    if (isNew_) {
        raise(account_errors::kPropertyNotFound,
              "The directory property cannot be found in the cache.");
    }
    auto account = stored();
    switch (property) {
        case Property::FullName: return Variant(account.fullName);
        case Property::Description: return Variant(account.description);
        case Property::UserFlags: return Variant(static_cast<int32_t>(account.flags));
    }
    return Variant();
}

void AccountObject::write(Property property, const Variant& value) {
    switch (property) {
        case Property::FullName: changes_.fullName = automation::toText(value); break;
        case Property::Description: changes_.description = automation::toText(value); break;
        case Property::UserFlags: changes_.flags = flagWord(value); break;
    }
}

void AccountObject::setInfo() {
    auto& accounts = *context_->accounts;
    if (isNew_) {
        NewAccount account;
        account.kind = kind_;
        account.name = name_;
        account.flags = changes_.flags;
        account.fullName = changes_.fullName.value_or("");
        account.description = changes_.description.value_or("");
        account.password = password_;
        accounts.create(account);
        isNew_ = false;
        password_.reset();
    } else if (changes_.fullName || changes_.description || changes_.flags) {
        accounts.change(kind_, name_, changes_);
    } else {
        stored();
    }
    changes_ = {};
}

std::optional<std::string> AccountObject::memberName(const Variant& path) {
    auto target = context_->resolve(automation::toText(path));
    if (target.name.empty()) return std::nullopt;
    auto account = context_->accounts->find(target.name);
    if (!account || (target.kind && *target.kind != account->kind)) return std::nullopt;
    return account->name;
}

Variant AccountObject::invoke(std::string_view name, InvokeKind kind, std::span<Variant> args) {
    Call call{name, kind, args};
    bool isUser = kind_ == AccountKind::User;

    for (std::string_view member : {"Name", "Class", "ADsPath", "Parent"}) {
        if (!call.is(member)) continue;
        call.property(false);
        context_->pass(member, path());
        if (member == "Name") return Variant(name_);
        if (member == "Class") return Variant(isUser ? "User" : "Group");
        if (member == "ADsPath") return Variant(parentPath() + "/" + name_);
        return Variant(parentPath());
    }

    struct Named {
        std::string_view name;
        Property property;
        bool userOnly;
    };
    for (const Named& entry : {Named{"FullName", Property::FullName, true},
                               Named{"Description", Property::Description, false},
                               Named{"UserFlags", Property::UserFlags, true}}) {
        if (!call.is(entry.name) || (entry.userOnly && !isUser)) continue;
        call.property(true);
        context_->pass(entry.name, path());
        if (call.isPut()) {
            write(entry.property, args[0]);
            return Variant();
        }
        return read(entry.property);
    }

    if (call.is("Get") || call.is("Put")) {
        bool isGet = call.is("Get");
        call.method(isGet ? 1 : 2);
        context_->pass(isGet ? "Get" : "Put", path());
        auto property = automation::toText(args[0]);
        bool known = false;
        for (std::string_view candidate :
             {"Name", "Class", "ADsPath", "Parent", "FullName", "Description", "UserFlags"}) {
            known = known || equalsIgnoreCase(property, candidate);
        }
        if (!known || (!isUser && (equalsIgnoreCase(property, "FullName") ||
                                   equalsIgnoreCase(property, "UserFlags")))) {
            raise(account_errors::kPropertyNotFound,
                  "The directory property cannot be found in the cache: " + property);
        }
        if (isGet) return invoke(property, InvokeKind::PropertyGet, {});
        return invoke(property, InvokeKind::PropertyPut, args.subspan(1));
    }
    if (call.is("SetInfo")) {
        call.method(0);
        context_->pass("SetInfo", path());
        setInfo();
        return Variant();
    }
    if (call.is("GetInfo")) {
        call.method(0);
        context_->pass("GetInfo", path());
        if (isNew_) notFound(kind_);
        stored();
        changes_ = {};
        return Variant();
    }
    if (isUser && call.is("SetPassword")) {
        call.method(1);
        context_->pass("SetPassword", path());
        auto password = automation::toText(args[0]);
        if (isNew_) {
            password_ = password;
        } else {
            context_->accounts->setPassword(name_, password);
        }
        return Variant();
    }
    if (!isUser && call.is("Add")) {
        call.method(1);
        context_->pass("Add", path());
        auto member = memberName(args[0]);
        if (!member) {
            stored();  // a missing group is reported first
            raise(account_errors::kNoSuchMember,
                  "A new member could not be added to a local group because the member does "
                  "not exist.");
        }
        context_->accounts->addMember(name_, *member);
        return Variant();
    }
    if (!isUser && call.is("Remove")) {
        call.method(1);
        context_->pass("Remove", path());
        auto member = memberName(args[0]);
        if (!member) {
            stored();
            raise(account_errors::kMemberNotInGroup,
                  "The specified account name is not a member of the group.");
        }
        context_->accounts->removeMember(name_, *member);
        return Variant();
    }
    if (!isUser && call.is("IsMember")) {
        call.method(1);
        context_->pass("IsMember", path());
        auto member = memberName(args[0]);
        if (!member) {
            stored();
            return Variant(false);
        }
        return Variant(context_->accounts->isMember(name_, *member));
    }
    if (!isUser && call.is("Members")) {
        call.method(0);
        context_->pass("Members", path());
        Variant::Array names;
        for (const auto& member : context_->accounts->members(name_)) {
            names.emplace_back(member.name);
        }
        return Variant(std::move(names));
    }
    call.unknown();
}

}  // namespace tarnwick::platform::embedded::winnt
