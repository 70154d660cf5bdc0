// The embedded platform's metabase over the SQLite store: settings, stored
// faults, state shared by processes, reservations of a process that dies, and
// the state module.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "automation/error.h"
#include "platform/embedded/metabase/errors.h"
#include "platform/embedded/metabase/metabase.h"
#include "support/error_of.h"

namespace tarnwick::testing {
namespace {

using automation::ObjectRef;
using automation::Variant;
using platform::embedded::Fault;
using platform::embedded::Metabase;
using platform::embedded::Store;
using platform::embedded::StoredFaults;
namespace errors = platform::metabase::errors;
namespace fs = std::filesystem;

class TemporaryFolder {
public:
    TemporaryFolder() {
        std::string pattern = (fs::temp_directory_path() / "tarnwick-metabase-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~TemporaryFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

// One process's view of the platform in `folder`.
struct Process {
    explicit Process(const fs::path& folder)
        : store(Store::open(folder)),
          faults(std::make_shared<StoredFaults>(store)),
          metabase(store, faults) {}
    std::shared_ptr<Store> store;
    std::shared_ptr<StoredFaults> faults;
    Metabase metabase;

    ObjectRef createSite(const std::string& number) {
        return metabase.bind("IIS://WEBSERVER/W3SVC")
            ->call("Create", {"IIsWebServer", number})
            .object();
    }
};

class EmbeddedMetabase : public ::testing::Test {
protected:
    TemporaryFolder folder;
    Process first{folder.path()};
    Process second{folder.path()};

    void SetUp() override { first.metabase.seedDefaults(); }
};

TEST_F(EmbeddedMetabase, TheComputerNameAndIisVersionComeFromTheSettings) {
    auto settings = first.store->settings();
    settings.computerName = "Host2";
    settings.iisVersion = 5;
    second.store->saveSettings(settings);
    EXPECT_EQ(errorOf([&] { first.metabase.bind("IIS://WEBSERVER/W3SVC"); }), errors::kBadNetPath);
    EXPECT_EQ(errorOf([&] { first.metabase.bind("IIS://HOST2/W3SVC/1"); }), 0);
    EXPECT_EQ(errorOf([&] { first.metabase.bind("IIS://HOST2/W3SVC/AppPools"); }),
              errors::kPathNotFound);
}

TEST_F(EmbeddedMetabase, StoredFaultsMakeACallFail) {
    first.faults->add(
        Fault{"SetInfo", "IIS://*/W3SVC/2/ROOT", static_cast<int32_t>(0x80070005u), true});
    auto site = first.createSite("2");
    site->call("SetInfo");
    auto root = site->call("Create", {"IIsWebVirtualDir", "ROOT"}).object();
    root->put("Path", "D:\\a");
    EXPECT_EQ(errorOf([&] { root->call("SetInfo"); }), static_cast<int32_t>(0x80070005u));
    EXPECT_EQ(errorOf([&] { root->call("SetInfo"); }), 0);  // the fault fired once
    second.faults->add(Fault{"GetObject", "iis://webserver/w3svc/2", errors::kPathNotFound, false});
    EXPECT_EQ(errorOf([&] { first.metabase.bind("IIS://WEBSERVER/W3SVC/2"); }),
              errors::kPathNotFound);
}

TEST_F(EmbeddedMetabase, TwoProcessesShareTheStoredState) {
    auto site = first.createSite("2");
    site->put("ServerBindings", Variant(Variant::Array{":80:a.com"}));
    EXPECT_EQ(errorOf([&] { second.metabase.bind("IIS://WEBSERVER/W3SVC/2"); }),
              errors::kPathNotFound);
    site->call("SetInfo");
    auto seen = second.metabase.bind("IIS://WEBSERVER/W3SVC/2");
    EXPECT_EQ(seen->get("ServerBindings"), Variant(Variant::Array{":80:a.com"}));
    seen->put("ServerComment", "A");
    seen->call("SetInfo");
    seen->call("Start");
    EXPECT_EQ(site->get("ServerComment"), Variant("A"));
    EXPECT_EQ(site->get("ServerState"), Variant(2));
}

TEST_F(EmbeddedMetabase, OnlyOneProcessCreatesAName) {
    auto mine = first.createSite("2");
    EXPECT_EQ(errorOf([&] { second.createSite("2"); }), errors::kAlreadyExists);
    mine->call("SetInfo");
    EXPECT_EQ(errorOf([&] { second.createSite("2"); }), errors::kAlreadyExists);
    EXPECT_EQ(errorOf([&] { second.createSite("3"); }), 0);
}

TEST_F(EmbeddedMetabase, AReservationOutlivesItsProcessOnlyUntilFound) {
    int ready[2], release[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(release), 0);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(ready[0]);
        ::close(release[1]);
        int code = 1;
        try {
            Process process(folder.path());
            auto held = process.createSite("8");
            char signal = 'r';
            if (::write(ready[1], &signal, 1) == 1 && ::read(release[0], &signal, 1) == 1) code = 0;
        } catch (...) {
        }
        ::_exit(code);  // ends without destructors: the reservation is left behind
    }
    ::close(ready[1]);
    ::close(release[0]);
    char signal = 0;
    ASSERT_EQ(::read(ready[0], &signal, 1), 1);
    EXPECT_EQ(errorOf([&] { first.createSite("8"); }), errors::kAlreadyExists);
    ASSERT_EQ(::write(release[1], &signal, 1), 1);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ::close(ready[0]);
    ::close(release[1]);

    auto site = first.createSite("8");
    site->call("SetInfo");
    EXPECT_EQ(errorOf([&] { second.metabase.bind("IIS://WEBSERVER/W3SVC/8"); }), 0);
}

// Each process serves reads from its own copy of what it read before; the
// copy must never hide what the other process committed since.
TEST_F(EmbeddedMetabase, ReadsSeeTheOtherProcessesLastCommit) {
    auto names = [](Process& process) {
        std::vector<std::string> found;
        auto children = process.metabase.bind("IIS://WEBSERVER/W3SVC")->get("Children");
        for (const auto& child : children.array()) {
            found.push_back(automation::toText(child.object()->get("Name")));
        }
        return found;
    };
    auto firstSite = first.metabase.bind("IIS://WEBSERVER/W3SVC/1");
    auto comment = firstSite->get("ServerComment");
    auto before = names(first);

    auto added = second.createSite("3");
    added->put("ServerComment", "three");
    added->call("SetInfo");
    auto changed = second.metabase.bind("IIS://WEBSERVER/W3SVC/1");
    changed->put("ServerComment", "renamed");
    changed->call("SetInfo");

    auto after = names(first);
    EXPECT_EQ(after.size(), before.size() + 1);
    EXPECT_EQ(after.back(), "3");
    EXPECT_EQ(first.metabase.bind("IIS://WEBSERVER/W3SVC/3")->get("ServerComment"),
              Variant("three"));
    EXPECT_EQ(firstSite->get("ServerComment"), Variant("renamed"));
    EXPECT_NE(comment, Variant("renamed"));

    second.metabase.bind("IIS://WEBSERVER/W3SVC")->call("Delete", {"IIsWebServer", "3"});
    EXPECT_EQ(errorOf([&] { first.metabase.bind("IIS://WEBSERVER/W3SVC/3"); }),
              errors::kPathNotFound);
    EXPECT_EQ(names(first), before);
}

TEST_F(EmbeddedMetabase, WritesOfATransactionRolledBackLeaveTheCopy) {
    auto site = first.metabase.bind("IIS://WEBSERVER/W3SVC/1");
    auto comment = site->get("ServerComment");
    {
        platform::embedded::Transaction transaction(first.store->db());
        site->put("ServerComment", "abandoned");
        site->call("SetInfo");
        auto added = first.createSite("4");
        added->call("SetInfo");
        EXPECT_EQ(site->get("ServerComment"), Variant("abandoned"));
        EXPECT_EQ(errorOf([&] { first.metabase.bind("IIS://WEBSERVER/W3SVC/4"); }), 0);
    }
    EXPECT_EQ(site->get("ServerComment"), comment);
    EXPECT_EQ(errorOf([&] { first.metabase.bind("IIS://WEBSERVER/W3SVC/4"); }),
              errors::kPathNotFound);
}

TEST_F(EmbeddedMetabase, AFailedLoadInsideTheCallersTransactionChangesNothing) {
    EXPECT_EQ(first.metabase.name(), "metabase");
    auto before = first.metabase.dump();
    {
        platform::embedded::Transaction transaction(first.store->db());
        first.metabase.load({{"keys", nlohmann::json::array()}});
        EXPECT_THROW(first.faults->load("not a list"), platform::embedded::LoadError);
        // The caller abandons the whole load.
    }
    EXPECT_EQ(first.metabase.dump(), before);
    try {
        first.metabase.load({{"keys", {{{"path", "/LM/W3SVC/9"}, {"class", "IIsWebServer"}}}}});
        ADD_FAILURE() << "a key without its parent was loaded";
    } catch (const platform::embedded::LoadError& error) {
        EXPECT_EQ(std::string(error.what()).rfind("metabase.keys[0].path: ", 0), 0u)
            << error.what();
    }
    EXPECT_EQ(second.metabase.dump(), before);
}

}  // namespace
}  // namespace tarnwick::testing
