// What the core needs of the operating system besides directory objects and
// security: cryptographic random bytes and the ANSI code page.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick::platform {

// The operating system's cryptographic generator.
class RandomSource {
public:
    virtual ~RandomSource() = default;
    virtual void fill(std::span<uint8_t> bytes) = 0;
};

// Conversion between the system's text (UTF-8 inside the core) and the ANSI
// code page that the "A" functions take. A character the code page cannot
// hold becomes "?", as the system converts it.
class AnsiCodePage {
public:
    virtual ~AnsiCodePage() = default;
    virtual unsigned codePage() const = 0;
    virtual std::string fromUtf8(std::string_view text) = 0;
    virtual std::string toUtf8(std::string_view text) = 0;
};

// Folders that belong to the operating system or to the panel's own
// installation (the Windows folder, Program Files, the profiles folder, the
// installer's folder): no hosted site may own them. Where the platform
// cannot name a folder, it leaves it out; the site folder rules still refuse
// the Windows and Program Files folders by their names.
//
// What a path names is the platform's answer too: a folder has more than one
// name (its 8.3 alias such as "PROGRA~1", "." and ".." on the way), and only
// the file system knows which folder each one reaches.
class SystemFolders {
public:
    virtual ~SystemFolders() = default;
    virtual std::vector<std::string> protectedFolders() = 0;
    // The full, long name of the folder or file `path` names: "." and ".."
    // resolved, and the 8.3 aliases of the longest part that exists replaced
    // by their long names; the part that does not exist as given. A path the
    // platform cannot resolve comes back as it is.
    virtual std::string longPathName(std::string_view path) = 0;
};

// One lock that every process of the machine shares: the site members hold
// it from the check that no other site binds a host name until the bindings
// they write are stored, so that two pages never bind one host name twice.
// A holder that dies without letting go leaves the lock to the next caller.
class MachineLock {
public:
    // Held until this object goes.
    class Held {
    public:
        virtual ~Held() = default;
    };

    // The error number when the wait runs out: ERROR_TIMEOUT as an HRESULT.
    static constexpr int32_t kTimeout = static_cast<int32_t>(0x800705B4u);

    virtual ~MachineLock() = default;
    // Waits at most `wait` for the lock. Raises an automation error with
    // kTimeout when the wait runs out, or with the platform's number when
    // the lock cannot be reached.
    virtual std::unique_ptr<Held> acquire(std::chrono::milliseconds wait) = 0;
};

}  // namespace tarnwick::platform

namespace tarnwick::platform {

// The processes of the machine as the operation records know them: a record
// names the process that runs its operation, and a record whose process is
// gone is one that nobody finishes any more. A mark holds the process's
// number and its start time, so that a number the system gives again to a
// later process does not pass for the process that died.
class Processes {
public:
    virtual ~Processes() = default;
    // The mark of the calling process.
    virtual std::string current() = 0;
    // Whether the process that `mark` names still runs. A mark that names
    // no process, or that cannot be read, gives false; a process the caller
    // may not look at counts as running.
    virtual bool running(std::string_view mark) = 0;
};

}  // namespace tarnwick::platform
