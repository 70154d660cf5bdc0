#include "platform/embedded/metabase/metabase.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "platform/embedded/metabase/document.h"
#include "platform/embedded/metabase/sqlite_storage.h"

namespace tarnwick::platform::embedded {

namespace {
class EmbeddedHost : public metabase::MetabaseHost {
public:
    EmbeddedHost(std::shared_ptr<Store> store, std::shared_ptr<FaultInjector> faults)
        : store_(std::move(store)), faults_(std::move(faults)) {}

    std::string computerName() override { return store_->settings().computerName; }
    int iisVersion() override { return store_->settings().iisVersion; }
    void checkFault(std::string_view member, std::string_view path) override {
        faults_->check(member, path);
    }
    bool faultsArmed() override { return faults_->armed(); }
    int64_t processId() override { return static_cast<int64_t>(::getpid()); }
    bool processAlive(int64_t processId) override {
        if (processId <= 0 || processId != static_cast<pid_t>(processId)) return false;
        // Signal 0 only asks whether the process exists; EPERM means it does.
        return ::kill(static_cast<pid_t>(processId), 0) == 0 || errno == EPERM;
    }
    int64_t now() override {
        return std::chrono::duration_cast<std::chrono::seconds>(
                   std::chrono::system_clock::now().time_since_epoch())
            .count();
    }

private:
    std::shared_ptr<Store> store_;
    std::shared_ptr<FaultInjector> faults_;
};
}  // namespace

Metabase::Metabase(std::shared_ptr<Store> store, std::shared_ptr<FaultInjector> faults)
    : storage_(std::make_shared<SqliteMetabaseStorage>(store)),
      tree_(metabase::MetabaseTree::create(
          storage_, std::make_shared<EmbeddedHost>(std::move(store), std::move(faults)))) {}

automation::ObjectRef Metabase::bind(std::string_view path) { return tree_->bind(path); }

void Metabase::seedDefaults() { tree_->seedDefaults(); }

nlohmann::json Metabase::dump() { return metabase::dumpDocument(*storage_); }

void Metabase::load(const nlohmann::json& document) {
    metabase::loadDocument(*storage_, document, name());
}

}  // namespace tarnwick::platform::embedded
