// A number shared by every process that opens one store, raised around each
// commit: a process can tell from one memory read whether anybody may have
// committed since it last looked, without asking SQLite.
//
// It lives in a file beside the database ("<database>-changes"), mapped into
// memory. A commit raises it when it begins (SQLite's commit hook) and again
// once it is done and the write lock is released (the WAL hook), so a reader
// that copied rows between the two still sees the number move afterwards.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace tarnwick::platform::embedded {

class ChangeCounter {
public:
    // nullptr when the file cannot be made or mapped: readers then ask SQLite
    // every time.
    static std::unique_ptr<ChangeCounter> open(const std::string& path);

    struct Mapped {  // made by open() only
        uint64_t* shared;
    };
    explicit ChangeCounter(Mapped mapped) : shared_(mapped.shared) {}
    ~ChangeCounter();
    ChangeCounter(const ChangeCounter&) = delete;
    ChangeCounter& operator=(const ChangeCounter&) = delete;

    uint64_t value() const;
    void raise();

private:
    uint64_t* shared_;
};

}  // namespace tarnwick::platform::embedded
