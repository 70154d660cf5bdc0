// The automation error number a step raises; 0 when it succeeds.
#pragma once

#include <cstdint>
#include <functional>

#include "automation/error.h"

namespace tarnwick::testing {

inline int32_t errorOf(const std::function<void()>& step) {
    try {
        step();
    } catch (const automation::AutomationError& error) {
        return error.number();
    }
    return 0;
}

}  // namespace tarnwick::testing
