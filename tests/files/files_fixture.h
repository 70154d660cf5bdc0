// An in-memory platform with its drives, FileSystemObject and advapi32, and
// a small account lookup of its own.
#pragma once

#include <gtest/gtest.h>

#include <map>

#include "automation/error.h"
#include "automation/text.h"
#include "platform/embedded/files/ansi_code_page.h"
#include "platform/embedded/files/embedded_advapi32.h"
#include "platform/embedded/files/file_system.h"
#include "platform/embedded/files/file_system_object.h"
#include "platform/embedded/files/hex.h"
#include "platform/embedded/files/sddl.h"

namespace tarnwick::testing {

namespace files = platform::embedded::files;
using automation::Variant;

// Built-in groups, well-known principals and two local users.
class FakeAccounts : public platform::embedded::AccountLookup {
public:
    FakeAccounts() {
        add("Administrators", "BUILTIN", "S-1-5-32-544", 4);
        add("Users", "BUILTIN", "S-1-5-32-545", 4);
        add("Everyone", "", "S-1-1-0", 5);
        add("Tarn_joe", "WEBSERVER", "S-1-5-21-100-200-300-1001", 1);
        add("Tarn_张三", "WEBSERVER", "S-1-5-21-100-200-300-1002", 1);
    }
    std::optional<platform::embedded::AccountIdentity> lookupName(std::string_view name) override {
        for (const auto& [key, identity] : accounts_) {
            if (automation::equalsIgnoreCase(key, name)) return identity;
        }
        return std::nullopt;
    }
    std::optional<platform::embedded::AccountIdentity> lookupSid(
        const std::vector<uint8_t>& sid) override {
        for (const auto& [key, identity] : accounts_) {
            if (identity.sid == sid) return identity;
        }
        return std::nullopt;
    }

private:
    void add(std::string name, std::string domain, const char* sid, uint32_t use) {
        accounts_[name] = {*files::sidFromString(sid), std::move(domain), name, use};
    }
    std::map<std::string, platform::embedded::AccountIdentity> accounts_;
};

class FilesFixture : public ::testing::Test {
protected:
    std::shared_ptr<platform::embedded::Store> store = platform::embedded::Store::inMemory();
    std::shared_ptr<files::FileSystem> fs = std::make_shared<files::FileSystem>(store);
    std::shared_ptr<files::IconvCodePage> ansi = std::make_shared<files::IconvCodePage>(936);
    std::shared_ptr<platform::embedded::StoredFaults> faults =
        std::make_shared<platform::embedded::StoredFaults>(store);
    automation::ObjectRef fso = files::makeFileSystemObject(fs, ansi, faults);
    files::EmbeddedAdvapi32 advapi{fs, std::make_shared<FakeAccounts>(), ansi, faults};

    Variant call(std::string_view member, std::initializer_list<Variant> args = {}) {
        return fso->call(member, args);
    }
    // The error number a call raises; 0 when it succeeds.
    static int32_t errorOf(automation::Dispatch& object, std::string_view member,
                           std::initializer_list<Variant> args = {}) {
        try {
            object.call(member, args);
        } catch (const automation::AutomationError& error) {
            return error.number();
        }
        return 0;
    }
    int32_t errorOf(std::string_view member, std::initializer_list<Variant> args = {}) {
        return errorOf(*fso, member, args);
    }
    // The DACL of an entry as SDDL.
    std::string daclOf(std::string_view path) {
        auto descriptor = files::parseSelfRelative(fs->securityDescriptor(path));
        return descriptor ? files::daclToSddl(descriptor->dacl) : "(no descriptor)";
    }
    void setDacl(std::string_view path, std::string_view sddl) {
        std::string error;
        auto parsed = files::daclFromSddl(sddl, error);
        ASSERT_TRUE(parsed) << error;
        auto descriptor = *files::parseSelfRelative(fs->securityDescriptor(path));
        descriptor.dacl = parsed->dacl;
        fs->setSecurityDescriptor(path, files::toSelfRelative(descriptor));
    }
};

// Bytes from a hexadecimal string (spaces allowed), for exact layouts.
inline std::vector<uint8_t> hexBytes(std::string_view text) {
    std::vector<uint8_t> bytes;
    int high = -1;
    for (char c : text) {
        if (c == ' ') continue;
        int value = (c >= '0' && c <= '9') ? c - '0' : (c | 0x20) - 'a' + 10;
        if (high < 0) {
            high = value;
        } else {
            bytes.push_back(static_cast<uint8_t>(high * 16 + value));
            high = -1;
        }
    }
    return bytes;
}

// Bytes as upper-case hexadecimal, two digits each, no spaces.
inline std::string hexOf(std::span<const uint8_t> bytes) { return files::toHex(bytes); }

}  // namespace tarnwick::testing
