#include "tests/wine/doubles/machine.h"

#include <windows.h>

#include <ctime>

#include "platform/embedded/accounts/memory_account_storage.h"
#include "platform/embedded/metabase/memory_storage.h"

namespace tarnwick::tests::wine {

namespace {

namespace metabase = platform::metabase;
namespace embedded = platform::embedded;

class Host final : public metabase::MetabaseHost {
public:
    std::string computerName() override { return kComputerName; }
    int iisVersion() override { return 6; }
    void checkFault(std::string_view, std::string_view) override {}
    int64_t processId() override { return static_cast<int64_t>(GetCurrentProcessId()); }
    bool processAlive(int64_t id) override {
        // The state lives in this process: a reservation of another process
        // cannot exist, so only this one is alive.
        return id == processId();
    }
    int64_t now() override { return static_cast<int64_t>(std::time(nullptr)); }
};

}  // namespace

Machine& machine() {
    static Machine instance = [] {
        Machine made;
        made.metabase = metabase::MetabaseTree::create(
            std::make_shared<metabase::MemoryMetabaseStorage>(), std::make_shared<Host>());
        made.metabase->seedDefaults();
        made.accounts = std::make_shared<embedded::LocalAccounts>(
            std::make_shared<embedded::MemoryAccountStorage>(),
            [] { return std::string(kComputerName); });
        made.accounts->seedDefaults();
        made.winnt = std::make_unique<embedded::WinNTProvider>(made.accounts);
        return made;
    }();
    return instance;
}

}  // namespace tarnwick::tests::wine
