// Fault injection: a test names a platform call (member and path pattern)
// and the error number it must fail with, once or always. Faults live in the
// platform store, so they reach a page run by another process.
//
// Members are the platform's own names: a member of a directory or file
// object ("SetInfo", "Create", "CreateFolder"), "GetObject" for binding by
// path, "CreateObject" for Server.CreateObject, an advapi32 function name
// ("SetFileSecurityA"). The path is the object's path, the ProgID, or the
// file or account name the function is given. Patterns use * and ?, and
// both member and path ignore case. A directory or file object fails with
// the number as an automation error; an advapi32 function returns failure
// and GetLastError() gives the number.
//
// A fault with `exit` set stands for a process that dies at that call: the
// process kills itself with SIGKILL there, before the call has any effect,
// and nothing is cleaned up (no destructor, no rollback), as when IIS
// recycles a worker process or the server loses power.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/embedded/state_module.h"
#include "platform/embedded/store.h"

namespace tarnwick::platform::embedded {

// One platform call that fault injection could make fail.
struct PlatformCall {
    std::string member;
    std::string path;
    bool operator==(const PlatformCall&) const = default;
};

struct Fault {
    std::string member;
    std::string pathPattern = "*";
    int32_t number = 0;
    bool once = false;
    bool exit = false;
};

class FaultInjector {
public:
    virtual ~FaultInjector() = default;
    // The number of the first fault that matches, consuming it when it fires once.
    virtual std::optional<int32_t> take(std::string_view member, std::string_view path) = 0;
    // Raises the matching fault's number as an automation error.
    void check(std::string_view member, std::string_view path);
    // False when no fault is set at all.
    virtual bool armed() { return true; }
};

// No faults: for platforms that a test does not drive.
class NoFaults : public FaultInjector {
public:
    std::optional<int32_t> take(std::string_view, std::string_view) override { return {}; }
    bool armed() override { return false; }
};

class StoredFaults : public FaultInjector, public StateModule {
public:
    explicit StoredFaults(std::shared_ptr<Store> store);

    void add(const Fault& fault);
    void clear();
    std::vector<Fault> list();
    std::optional<int32_t> take(std::string_view member, std::string_view path) override;
    // Read once per generation of the store's connection.
    bool armed() override;

    // Notes every call that could fail, in order, from startRecording() on;
    // stopRecording() ends the note and hands it over. A test takes the
    // calls of one clean operation this way and then makes each fail in
    // turn. The note is this process's own.
    void startRecording();
    std::vector<PlatformCall> stopRecording();

    std::string_view name() const override { return "faults"; }
    nlohmann::json dump() override;
    void load(const nlohmann::json& document) override;

private:
    // Drops this connection's note of whether faults exist, after a change.
    void forget();

    struct Presence;
    std::shared_ptr<Store> store_;
    Presence& presence_;  // kept with the store, shared by its StoredFaults
    std::optional<std::vector<PlatformCall>> recorded_;
};

// Glob match with * and ?, ignoring the case of ASCII letters.
bool matchesPattern(std::string_view pattern, std::string_view text);

}  // namespace tarnwick::platform::embedded
