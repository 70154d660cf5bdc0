// Counts what a site operation asks of the platform: directory binds and
// member calls on every object it reaches (metabase, accounts, file system,
// network), advapi32 calls, and the SQLite statements the store runs.
//
// CountingServices wraps a platform's services and its object factory; every
// object that comes back from a counted call is wrapped in turn, so calls on
// children, created keys and folders are counted too.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/embedded/asp_page.h"
#include "platform/embedded/store.h"
#include "platform/services.h"

namespace tarnwick::bench {

struct CallCounts {
    int64_t binds = 0;         // GetObject
    int64_t members = 0;       // member calls on directory and file-system objects
    int64_t createObject = 0;  // Server.CreateObject
    int64_t advapi32 = 0;      // security calls
    int64_t statements = 0;    // SQLite statements the store ran

    int64_t platformCalls() const { return binds + members + createObject + advapi32; }
};

class CountingServices {
public:
    CountingServices(platform::Services inner, platform::embedded::ObjectFactory objects,
                     platform::embedded::Store& store);
    ~CountingServices();
    CountingServices(const CountingServices&) = delete;
    CountingServices& operator=(const CountingServices&) = delete;

    platform::Services services() const { return services_; }
    platform::embedded::ObjectFactory objects() const { return objects_; }

    const CallCounts& counts() const { return *counts_; }
    void reset() { *counts_ = {}; }

private:
    std::shared_ptr<CallCounts> counts_;
    platform::Services services_;
    platform::embedded::ObjectFactory objects_;
    platform::embedded::Store& store_;
};

}  // namespace tarnwick::bench
