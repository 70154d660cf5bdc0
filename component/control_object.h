// Control as a late-bound automation object: members found by name through
// the member table, argument counts checked, Booleans returned as automation
// Booleans, by-reference arguments written back. The page runner uses it as
// a script engine would.
#pragma once

#include <memory>

#include "automation/dispatch.h"
#include "component/control.h"
#include "component/members.h"

namespace tarnwick::component {

class ControlObject : public automation::Dispatch {
public:
    explicit ControlObject(platform::Services services = {}) : control_(std::move(services)) {}

    Variant invoke(std::string_view name, automation::InvokeKind kind,
                   std::span<Variant> args) override;
    // Calls a member already looked up in the table; a method receives the
    // argumentValue of each VARIANT argument.
    Variant invokeMember(const Member& member, std::span<Variant> args);

    Control& control() { return control_; }

private:
    Variant run(const Member& member, std::span<Variant> args);

    Control control_;
};

// The member table's kind for a late-bound call.
MemberKind memberKindOf(automation::InvokeKind kind);

}  // namespace tarnwick::component
