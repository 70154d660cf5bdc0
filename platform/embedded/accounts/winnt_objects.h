// The objects of the WinNT provider (see winnt_provider.h for their members).
// Internal to the provider.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "automation/dispatch.h"
#include "platform/embedded/accounts/call_check.h"
#include "platform/embedded/accounts/local_accounts.h"
#include "platform/embedded/accounts/winnt_path.h"

namespace tarnwick::platform::embedded::winnt {

// What every object of one provider shares.
struct ProviderContext {
    std::shared_ptr<LocalAccounts> accounts;
    CallCheck check;

    void pass(std::string_view member, std::string_view path) const {
        if (check) check(member, path);
    }
    std::string workgroup() const { return accounts->machine().workgroup; }
    WinNTTarget resolve(std::string_view path) const {
        return resolveWinNTPath(path, accounts->computerName(), workgroup());
    }
};

using Context = std::shared_ptr<const ProviderContext>;

// The object a resolved path names. Raises "not found" of the path's class
// (a user when it has none) for a missing account or one of the other class.
automation::ObjectRef open(const Context& context, const WinNTTarget& target);

class ComputerObject : public automation::Dispatch {
public:
    ComputerObject(Context context, std::string computer);
    automation::Variant invoke(std::string_view name, automation::InvokeKind kind,
                               std::span<automation::Variant> args) override;

private:
    std::string path() const { return "WinNT://" + computer_; }

    Context context_;
    std::string computer_;
};

// A user or a group, either stored or new (made by Create, stored by SetInfo).
class AccountObject : public automation::Dispatch {
public:
    AccountObject(Context context, AccountKind kind, std::string computer, std::string name,
                  bool isNew);
    automation::Variant invoke(std::string_view name, automation::InvokeKind kind,
                               std::span<automation::Variant> args) override;

private:
    enum class Property { FullName, Description, UserFlags };

    std::string path() const { return "WinNT://" + computer_ + "/" + name_; }
    std::string parentPath() const;
    AccountRecord stored() const;
    automation::Variant read(Property property);
    void write(Property property, const automation::Variant& value);
    void setInfo();
    // The name of the account a member path names; nullopt when it names none.
    std::optional<std::string> memberName(const automation::Variant& path);

    Context context_;
    AccountKind kind_;
    std::string computer_;
    std::string name_;
    bool isNew_;
    AccountChanges changes_;
    std::optional<std::string> password_;  // of a new user, stored with it
};

}  // namespace tarnwick::platform::embedded::winnt
