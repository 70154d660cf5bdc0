// The unfinished operations that `check` lists (their records stayed after
// their process died), and what `check --repair` does with them, shared by
// `tarnwick` and `tarnwick.exe`: both reach the records through Control.
#pragma once

#include <functional>
#include <vector>

#include "cli/site_check.h"
#include "component/control.h"

namespace tarnwick::cli {

// The records of the operations no process finishes any more, each as a
// finding of kind "unfinished_operation" (details: id, member, actor,
// started, process, file, arguments, steps, end). None without `withControl`.
std::vector<Finding> findUnfinished(const CheckTarget& target);

// Finishes or undoes each unfinished operation in the order they began, each
// as a call of its own; one that fails is reported and the others are still
// tried. `report` is told each repair as it is done.
std::vector<Repair> repairUnfinished(const CheckTarget& target,
                                     const std::function<void(const Repair&)>& report);

}  // namespace tarnwick::cli
