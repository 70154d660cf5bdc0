// The embedded platform's local users and groups, kept in the platform
// store: the WinNT directory provider ("WinNT://COMPUTER/name,user", see
// winnt_provider.h), the account lookup that the security calls use, and the
// "accounts" part of the state document (see account_state.cpp).
//
//   auto accounts = std::make_shared<Accounts>(store, faults);
//   auto user = accounts->bind("WinNT://WEBSERVER/Tarn_bob,user");
//
// A fresh store gets the built-in accounts and a random machine SID on first
// use. Every provider call passes `faults` first (member and path as
// winnt_provider.h describes them), so a test can make it fail.
#pragma once

#include <memory>

#include "platform/directory.h"
#include "platform/embedded/account_lookup.h"
#include "platform/embedded/accounts/local_accounts.h"
#include "platform/embedded/accounts/winnt_provider.h"
#include "platform/embedded/faults.h"
#include "platform/embedded/state_module.h"
#include "platform/embedded/store.h"

namespace tarnwick::platform::embedded {

class Accounts : public StateModule, public AccountLookup, public platform::Directory {
public:
    // `faults` may be null: no call then fails on purpose.
    Accounts(std::shared_ptr<Store> store, std::shared_ptr<FaultInjector> faults);

    // GetObject on a "WinNT://" path.
    automation::ObjectRef bind(std::string_view path) override;

    // Adds whatever built-in account is missing (see LocalAccounts::seedDefaults).
    void seedDefaults() { accounts_->seedDefaults(); }
    // The account rules themselves, for callers that are not scripts.
    LocalAccounts& local() { return *accounts_; }

    std::optional<AccountIdentity> lookupName(std::string_view name) override;
    std::optional<AccountIdentity> lookupSid(const std::vector<uint8_t>& sid) override;

    std::string_view name() const override { return "accounts"; }
    nlohmann::json dump() override;
    void load(const nlohmann::json& document) override;

private:
    std::shared_ptr<Store> store_;
    std::shared_ptr<LocalAccounts> accounts_;
    WinNTProvider provider_;
};

// The platform's WScript.Network object (see network.h) over the store's
// computer name.
automation::ObjectRef makeNetworkObject(std::shared_ptr<Store> store,
                                        std::shared_ptr<FaultInjector> faults);

}  // namespace tarnwick::platform::embedded
