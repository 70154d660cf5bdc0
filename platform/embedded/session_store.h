// ASP sessions kept in the platform store, so that a login made on one page
// is there on the next page of the same session. Values keep their automation
// type; keys ignore case and keep the order in which they were first written.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "automation/variant.h"
#include "platform/embedded/state_module.h"
#include "platform/embedded/store.h"

namespace tarnwick::platform::embedded {

class SessionStore : public StateModule {
public:
    explicit SessionStore(std::shared_ptr<Store> store) : store_(std::move(store)) {}

    // Continues the session `id` when it exists; otherwise starts a new one
    // with a fresh identifier, as ASP does for an unknown session cookie.
    std::string resume(const std::optional<std::string>& id);

    bool exists(const std::string& id);
    automation::Variant value(const std::string& id, std::string_view key);
    // Each write is its own transaction. Objects cannot be stored.
    void setValue(const std::string& id, std::string_view key, const automation::Variant& value);
    std::vector<std::pair<std::string, automation::Variant>> values(const std::string& id);

    // {"<SessionID>": {"<key>": <typed value>, ...}, ...}
    std::string_view name() const override { return "sessions"; }
    nlohmann::json dump() override;
    void load(const nlohmann::json& document) override;

private:
    std::shared_ptr<Store> store_;
};

}  // namespace tarnwick::platform::embedded
