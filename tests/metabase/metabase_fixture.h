// A metabase tree over each storage (memory and SQLite), seeded as a fresh
// IIS 6 server named WEBSERVER, with a host whose computer name, IIS version,
// faults, processes and clock a test sets.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "automation/error.h"
#include "automation/text.h"
#include "platform/embedded/metabase/errors.h"
#include "platform/embedded/metabase/memory_storage.h"
#include "platform/embedded/metabase/sqlite_storage.h"
#include "platform/embedded/metabase/tree.h"
#include "support/error_of.h"

namespace tarnwick::testing {

using automation::ObjectRef;
using automation::Variant;
namespace mb = platform::metabase;

class TestHost : public mb::MetabaseHost {
public:
    struct Fault {
        std::string member;
        std::string path;
        int32_t number;
    };

    std::string computer = "WEBSERVER";
    int version = 6;
    std::vector<Fault> faults;  // each fires once
    int64_t pid = 100;
    std::set<int64_t> alive = {100};
    int64_t clock = 1'000'000;

    std::string computerName() override { return computer; }
    int iisVersion() override { return version; }
    void checkFault(std::string_view member, std::string_view path) override {
        for (auto fault = faults.begin(); fault != faults.end(); ++fault) {
            if (automation::equalsIgnoreCase(fault->member, member) &&
                automation::equalsIgnoreCase(fault->path, path)) {
                auto number = fault->number;
                faults.erase(fault);
                automation::raise(number);
            }
        }
    }
    int64_t processId() override { return pid; }
    bool processAlive(int64_t processId) override { return alive.contains(processId); }
    int64_t now() override { return clock; }
};

struct StorageKind {
    const char* name;
    std::function<std::shared_ptr<mb::MetabaseStorage>()> make;
};

inline const StorageKind kStorageKinds[] = {
    {"Memory", [] { return std::make_shared<mb::MemoryMetabaseStorage>(); }},
    {"Sqlite",
     [] {
         return std::make_shared<platform::embedded::SqliteMetabaseStorage>(
             platform::embedded::Store::inMemory());
     }},
};

inline void PrintTo(const StorageKind& kind, std::ostream* out) { *out << kind.name; }

inline std::string storageName(const ::testing::TestParamInfo<StorageKind>& info) {
    return info.param.name;
}

inline std::vector<std::string> texts(const Variant& array) {
    std::vector<std::string> result;
    for (const auto& item : array.array()) result.push_back(item.string());
    return result;
}

class MetabaseTest : public ::testing::TestWithParam<StorageKind> {
protected:
    std::shared_ptr<mb::MetabaseStorage> storage = GetParam().make();
    std::shared_ptr<TestHost> host = std::make_shared<TestHost>();
    std::shared_ptr<mb::MetabaseTree> tree = seeded(mb::MetabaseTree::create(storage, host));

    static std::shared_ptr<mb::MetabaseTree> seeded(std::shared_ptr<mb::MetabaseTree> made) {
        made->seedDefaults();
        return made;
    }
    ObjectRef bind(std::string_view path) { return tree->bind(path); }
    int32_t bindError(std::string_view path) {
        return errorOf([&] { tree->bind(path); });
    }
    // Another fresh server, named WEBSERVER, over a new storage of the same
    // kind, seeded as IIS `version` installs it.
    struct Server {
        std::shared_ptr<mb::MetabaseStorage> storage;
        std::shared_ptr<TestHost> host;
        std::shared_ptr<mb::MetabaseTree> tree;
    };
    Server freshServer(int version) {
        Server server{GetParam().make(), std::make_shared<TestHost>(), nullptr};
        server.host->version = version;
        server.tree = seeded(mb::MetabaseTree::create(server.storage, server.host));
        return server;
    }
    // A second process on the same storage.
    std::shared_ptr<mb::MetabaseTree> otherProcess(int64_t pid = 200) {
        auto other = std::make_shared<TestHost>(*host);
        other->pid = pid;
        host->alive.insert(pid);
        other->alive = host->alive;
        return mb::MetabaseTree::create(storage, other);
    }
    static ObjectRef create(const ObjectRef& container, std::string_view keyClass,
                            const Variant& name) {
        return container->call("Create", {Variant(keyClass), name}).object();
    }
    // Creates and stores site `number` with the given bindings, then starts it when asked.
    void addSite(const std::string& number, Variant::Array bindings, bool started) {
        auto site = create(bind("IIS://WEBSERVER/W3SVC"), "IIsWebServer", number);
        site->put("ServerBindings", Variant(std::move(bindings)));
        site->call("SetInfo");
        if (started) site->call("Start");
    }
};

}  // namespace tarnwick::testing
