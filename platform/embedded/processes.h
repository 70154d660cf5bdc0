// The processes of the embedded platform are the host's: a mark is
// "<pid>/<start time>", the start time in clock ticks since boot as
// /proc/<pid>/stat gives it (its 22nd field).
#pragma once

#include "platform/system.h"

namespace tarnwick::platform::embedded {

class HostProcesses : public Processes {
public:
    std::string current() override;
    bool running(std::string_view mark) override;
};

}  // namespace tarnwick::platform::embedded
