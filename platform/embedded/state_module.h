// A part of the embedded platform's state (metabase, accounts, files, ...)
// that `tarnwick platform dump` writes out and `tarnwick platform load`
// replaces. Load runs inside one transaction that the caller holds for all
// modules, so a document with an error anywhere changes nothing.
#pragma once

#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tarnwick::platform::embedded {

// A state document that cannot be loaded; the message starts with where the
// error is, as a JSON path ("metabase.keys[3].properties.ServerBindings: ...").
class LoadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class StateModule {
public:
    virtual ~StateModule() = default;
    // The module's key in the state document.
    virtual std::string_view name() const = 0;
    virtual nlohmann::json dump() = 0;
    // Replaces the module's whole state with `document`. Called inside the
    // caller's transaction; throws LoadError for a document it cannot take.
    virtual void load(const nlohmann::json& document) = 0;
};

}  // namespace tarnwick::platform::embedded
