#include "platform/embedded/accounts/accounts.h"

#include "platform/embedded/accounts/network.h"
#include "platform/embedded/accounts/sqlite_account_storage.h"

namespace tarnwick::platform::embedded {

namespace {

std::function<std::string()> storedComputerName(std::shared_ptr<Store> store) {
    return [store = std::move(store)] { return store->settings().computerName; };
}

CallCheck checkWith(std::shared_ptr<FaultInjector> faults) {
    if (!faults) return {};
    return [faults = std::move(faults)](std::string_view member, std::string_view path) {
        faults->check(member, path);
    };
}

}  // namespace

Accounts::Accounts(std::shared_ptr<Store> store, std::shared_ptr<FaultInjector> faults)
    : store_(store),
      accounts_(std::make_shared<LocalAccounts>(std::make_shared<SqliteAccountStorage>(store),
                                                storedComputerName(store))),
      provider_(accounts_, checkWith(std::move(faults))) {}

automation::ObjectRef Accounts::bind(std::string_view path) { return provider_.bind(path); }

std::optional<AccountIdentity> Accounts::lookupName(std::string_view name) {
    return accounts_->lookupName(name);
}

std::optional<AccountIdentity> Accounts::lookupSid(const std::vector<uint8_t>& sid) {
    auto parsed = Sid::fromBinary(sid);
    if (!parsed || parsed->binaryLength() != sid.size()) return std::nullopt;
    return accounts_->lookupSid(*parsed);
}

nlohmann::json Accounts::dump() { return accounts_->dump(); }

void Accounts::load(const nlohmann::json& document) { accounts_->load(document); }

automation::ObjectRef makeNetworkObject(std::shared_ptr<Store> store,
                                        std::shared_ptr<FaultInjector> faults) {
    return makeNetworkObject(storedComputerName(std::move(store)), checkWith(std::move(faults)));
}

}  // namespace tarnwick::platform::embedded
