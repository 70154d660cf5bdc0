// The unfinished operations that `check` lists (their records stayed after
// their process died), and what `check --repair` does with them, shared by
// `tarnwick` and `tarnwick.exe`: both reach the records through Control.
#pragma once

#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <vector>

#include "component/control.h"

namespace tarnwick::cli {

// One record as `check` shows it: what the call was and what it had begun.
std::string recordText(const component::OperationRecord& record);
nlohmann::ordered_json recordJson(const component::OperationRecord& record);

struct OperationRepair {
    component::OperationRecord record;
    bool repaired = false;
    std::vector<std::string> done;
};

// Repairs every unfinished operation in the order they began; each is its
// own call, and one that fails leaves the others to be tried.
std::vector<OperationRepair> repairOperations(
    component::Control& control, const std::vector<component::OperationRecord>& records);

}  // namespace tarnwick::cli
