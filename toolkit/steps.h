// Helpers for routines that run with resume-next handling.
#pragma once

#include <memory>
#include <vector>

#include "automation/dispatch.h"
#include "automation/error.h"

namespace tarnwick::toolkit {

// The object a step produced, or the error a script gets when it uses an
// object variable that a failed step left unset.
inline automation::Dispatch& use(const automation::ObjectRef& object) {
    if (!object) automation::raise(automation::errors::kObjectNotSet);
    return *object;
}

// Runs a step that yields an object; a failed step leaves the object unset.
template <class Step>
automation::ObjectRef objectStep(automation::ErrorState& state, Step&& step) {
    auto result = state.attempt([&]() -> automation::ObjectRef {
        auto value = step();
        if (value.type() != automation::VarType::Object || !value.object()) {
            automation::raise(automation::errors::kObjectRequired);
        }
        return value.object();
    });
    return result ? *result : nullptr;
}

}  // namespace tarnwick::toolkit

namespace tarnwick::toolkit {

// The test of an If statement under resume-next handling: when evaluating
// the condition fails, the error is recorded and the statement goes on into
// its Then branch, as the script engine does.
template <class Condition>
bool ifThen(automation::ErrorState& state, Condition&& condition) {
    auto holds = state.attempt([&] { return static_cast<bool>(condition()); });
    return !holds || *holds;
}

// The children of a directory container (For Each over the object): the
// embedded and adapted providers list them in their "Children" member.
std::vector<automation::ObjectRef> childrenOf(automation::Dispatch& container);

}  // namespace tarnwick::toolkit
