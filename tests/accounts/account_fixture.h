// Fixtures for the local accounts: the account rules and the WinNT provider
// over each storage (memory, SQLite in a state folder), so that every test
// of the rules runs on both.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <memory>

#include "automation/error.h"
#include "platform/embedded/accounts/local_accounts.h"
#include "platform/embedded/accounts/memory_account_storage.h"
#include "platform/embedded/accounts/sqlite_account_storage.h"
#include "platform/embedded/accounts/winnt_provider.h"
#include "support/error_of.h"

namespace tarnwick::testing {

using automation::Variant;
using namespace platform::embedded;

// A state folder of the running test's own, removed afterwards.
class TestFolder {
public:
    TestFolder() {
        auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(info->test_suite_name()) + "-" + info->name();
        for (char& c : name) {
            if (c == '/') c = '_';
        }
        path_ = std::filesystem::temp_directory_path() /
                ("tarnwick-accounts-" + name + "-" + std::to_string(getpid()) + "-" +
                 std::to_string(counter()++));
        std::filesystem::remove_all(path_);
    }
    ~TestFolder() { std::filesystem::remove_all(path_); }
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    static int& counter() {
        static int next = 0;
        return next;
    }
    std::filesystem::path path_;
};

struct MemoryBackend {
    std::shared_ptr<MemoryAccountStorage> storage = std::make_shared<MemoryAccountStorage>();
    // Every view shares the one storage, as threads of one process would.
    std::shared_ptr<AccountStorage> open() { return storage; }
};

struct SqliteBackend {
    TestFolder folder;
    // Each view is a connection of its own, as another process would have.
    std::shared_ptr<AccountStorage> open() {
        return std::make_shared<SqliteAccountStorage>(Store::open(folder.path()));
    }
};

template <class Backend>
class AccountsOn : public ::testing::Test {
protected:
    Backend backend;
    std::shared_ptr<LocalAccounts> accounts = view();
    std::vector<std::pair<std::string, std::string>> calls;  // (member, path) seen by the check
    WinNTProvider provider{accounts, [this](std::string_view member, std::string_view path) {
                               calls.emplace_back(member, path);
                           }};

    // Another view of the same accounts.
    std::shared_ptr<LocalAccounts> view() {
        return std::make_shared<LocalAccounts>(backend.open(), [] { return "WEBSERVER"; });
    }
    automation::ObjectRef bind(std::string_view path) { return provider.bind(path); }
    int32_t bindError(std::string_view path) {
        return errorOf([&] { bind(path); });
    }
    // Create, SetPassword, FullName, Description, UserFlags = 65536, SetInfo.
    void createUser(const std::string& name, const std::string& password = "Secret1",
                    const std::string& fullName = "", const std::string& description = "") {
        auto computer = bind("WinNT://WEBSERVER");
        auto user = computer->call("Create", {"User", name}).object();
        user->call("SetPassword", {password});
        user->put("FullName", fullName);
        user->put("Description", description);
        user->put("UserFlags", 65536);
        user->call("SetInfo");
    }
};

using Backends = ::testing::Types<MemoryBackend, SqliteBackend>;

class BackendNames {
public:
    template <class T>
    static std::string GetName(int) {
        return std::is_same_v<T, MemoryBackend> ? "Memory" : "Sqlite";
    }
};

}  // namespace tarnwick::testing
