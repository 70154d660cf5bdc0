// The machine-wide lock of the embedded platform. A platform kept in a state
// folder locks a file of that folder with flock(2), so every process and
// thread that opens the folder shares it and the kernel lets go of it when
// its holder dies; a platform in memory has a lock of its own process.
#pragma once

#include <filesystem>
#include <memory>
#include <mutex>

#include "platform/embedded/faults.h"
#include "platform/system.h"

namespace tarnwick::platform::embedded {

class EmbeddedMachineLock : public MachineLock {
public:
    // The name fault injection knows the lock by, with the member "WaitForSingleObject".
    static constexpr std::string_view kName = "Global\\Tarnwick.SiteBindings";

    // `folder` empty: the platform lives in memory.
    EmbeddedMachineLock(std::filesystem::path folder, std::shared_ptr<FaultInjector> faults);

    std::unique_ptr<Held> acquire(std::chrono::milliseconds wait) override;

private:
    std::filesystem::path file_;
    std::shared_ptr<FaultInjector> faults_;
    std::timed_mutex inProcess_;
};

}  // namespace tarnwick::platform::embedded
