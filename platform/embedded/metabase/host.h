// What the metabase needs from the machine it runs on: the computer's name and
// IIS version (read anew at each use, as another process may change them),
// fault injection for tests, and the process facts that decide whether a
// pending Create's reservation is still held by a living process.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarnwick::platform::metabase {

class MetabaseHost {
public:
    virtual ~MetabaseHost() = default;

    virtual std::string computerName() = 0;
    // 5 (Windows 2000) or 6 (Windows Server 2003).
    virtual int iisVersion() = 0;
    // Raises the automation error that a test arranged for this call, if any.
    // `member` is the member as called ("SetInfo", "ServerBindings"), or
    // "GetObject" for a bind; `path` the object's full path.
    virtual void checkFault(std::string_view member, std::string_view path) = 0;
    // False when no call can meet a fault now, so a caller may skip building
    // the path it would check.
    virtual bool faultsArmed() { return true; }

    virtual int64_t processId() = 0;
    virtual bool processAlive(int64_t processId) = 0;
    // Seconds since the epoch.
    virtual int64_t now() = 0;
};

}  // namespace tarnwick::platform::metabase
