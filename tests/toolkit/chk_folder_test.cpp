// ChkFolder on the embedded drives.
#include <algorithm>

#include "support/activity_log_state.h"
#include "toolkit/folders.h"
#include "toolkit_fixture.h"

namespace tarnwick::testing {
namespace {

class ChkFolder : public ToolkitFixture {
protected:
    void SetUp() override {
        ToolkitFixture::SetUp();
        platform->load(
            {{"files", {{"folders", {"D:\\Web"}}, {"files", {{"D:\\Web\\taken", "x"}}}}}});
    }
    Variant chkFolder(Variant path) { return call("ChkFolder", {std::move(path)}); }
    bool exists(const std::string& path) {
        auto paths = folderPaths();
        return std::any_of(paths.begin(), paths.end(), [&](const std::string& p) {
            return automation::equalsIgnoreCase(p, path);
        });
    }
};

TEST_F(ChkFolder, CreatesEveryMissingFolderWithEitherSeparator) {
    EXPECT_EQ(chkFolder("D:/Web/bob/site/"), Variant(true));
    EXPECT_TRUE(exists("D:\\Web\\bob"));
    EXPECT_TRUE(exists("D:\\Web\\bob\\site"));
    EXPECT_EQ(chkFolder("D:\\Web\\alice\\site"), Variant(true));
    EXPECT_TRUE(exists("D:\\Web\\alice\\site"));
    EXPECT_EQ(chkFolder("d:\\web/carol\\site"), Variant(true));
    EXPECT_TRUE(exists("D:\\Web\\carol\\site"));
    EXPECT_EQ(page->responseState().body, "");
}

TEST_F(ChkFolder, TwoTrailingSeparatorsKeepOneAsAnEmptyLastElement) {
    EXPECT_EQ(chkFolder("D:\\Web\\bob\\\\"), Variant(true));
    EXPECT_TRUE(exists("D:\\Web\\bob"));
    // The empty element is a prefix of its own, "D:\Web\bob\\", tested like
    // the others; one trailing separator gives no such prefix.
    inject("FolderExists", "D:\\Web\\bob\\\\", 70);
    EXPECT_EQ(chkFolder("D:\\Web\\bob\\"), Variant(true));
    EXPECT_EQ(chkFolder("D:\\Web\\bob\\\\"), Variant(false));
}

TEST_F(ChkFolder, ExistingFoldersAndTheRootAloneChangeNothing) {
    auto before = withoutActivityLog(platform->dump())["files"];
    EXPECT_EQ(chkFolder("D:\\Web"), Variant(true));
    EXPECT_EQ(chkFolder("D:\\"), Variant(true));
    EXPECT_EQ(chkFolder("/"), Variant(true));
    EXPECT_EQ(chkFolder("\\"), Variant(true));
    EXPECT_EQ(withoutActivityLog(platform->dump())["files"], before);
}

TEST_F(ChkFolder, AnEmptyPathIsFalseAndTouchesNothing) {
    auto before = withoutActivityLog(platform->dump())["files"];
    EXPECT_EQ(chkFolder(""), Variant(false));
    EXPECT_EQ(chkFolder(Variant()), Variant(false));
    EXPECT_EQ(chkFolder(Variant::null()), Variant(false));
    EXPECT_EQ(withoutActivityLog(platform->dump())["files"], before);
}

// A path Windows cannot make is refused at once, however deep, and nothing
// of it is made.
TEST_F(ChkFolder, APathBeyondWhatWindowsMakesIsFalseAndMakesNothing) {
    auto before = withoutActivityLog(platform->dump())["files"];
    std::string deep = "D:";
    for (int level = 0; level < 4000; ++level) deep += "\\a";
    for (const std::string& path :
         {deep, "D:\\" + std::string(245, 'a'), "D:\\Web\\" + std::string(256, 'a')}) {
        EXPECT_EQ(chkFolder(path), Variant(false));
    }
    EXPECT_EQ(withoutActivityLog(platform->dump())["files"], before);
}

TEST_F(ChkFolder, AMissingDriveIsFalse) {
    auto before = withoutActivityLog(platform->dump())["files"];
    EXPECT_EQ(chkFolder("Q:\\x"), Variant(false));
    EXPECT_EQ(withoutActivityLog(platform->dump())["files"], before);
}

TEST_F(ChkFolder, AFileInTheWayIsFalse) {
    EXPECT_EQ(chkFolder("D:\\Web\\taken\\site"), Variant(false));
    EXPECT_FALSE(exists("D:\\Web\\taken"));
    EXPECT_FALSE(exists("D:\\Web\\taken\\site"));
}

TEST_F(ChkFolder, AFailedStepMakesItFalseButTheLaterFoldersAreStillMade) {
    // The existence test of D:\Web fails: its creation is tried (and fails,
    // the folder being there), and the folders below are made all the same.
    inject("FolderExists", "D:\\Web\\", 70);
    EXPECT_EQ(chkFolder("D:\\Web\\bob\\site"), Variant(false));
    EXPECT_TRUE(exists("D:\\Web\\bob\\site"));

    inject("CreateFolder", "D:\\Web\\carol\\", 70);
    EXPECT_EQ(chkFolder("D:\\Web\\carol"), Variant(false));
    EXPECT_FALSE(exists("D:\\Web\\carol"));
    EXPECT_EQ(chkFolder("D:\\Web\\carol"), Variant(true));
    EXPECT_TRUE(exists("D:\\Web\\carol"));
}

// The platform's FileSystemObject, with another page making each folder
// just before this one's CreateFolder reaches it.
class ConcurrentCreator : public automation::Dispatch {
public:
    explicit ConcurrentCreator(automation::ObjectRef fso) : fso_(std::move(fso)) {}
    Variant invoke(std::string_view name, automation::InvokeKind kind,
                   std::span<Variant> args) override {
        if (automation::equalsIgnoreCase(name, "CreateFolder"))
            fso_->call("CreateFolder", {args[0]});
        return fso_->invoke(name, kind, args);
    }

private:
    automation::ObjectRef fso_;
};

TEST_F(ChkFolder, AFolderMadeMeanwhileByAnotherPageCounts) {
    auto fso = platform->objects()("Scripting.FileSystemObject");
    auto racing = std::make_shared<ConcurrentCreator>(fso);
    EXPECT_TRUE(toolkit::ChkFolder([&] { return racing; }, "D:\\Web\\amy\\site"));
    EXPECT_TRUE(exists("D:\\Web\\amy\\site"));

    // A creation that fails with the folder still missing stays a failure.
    inject("CreateFolder", "D:\\Web\\bob\\", 70);
    EXPECT_FALSE(toolkit::ChkFolder([&] { return fso; }, "D:\\Web\\bob\\site"));
}

TEST_F(ChkFolder, NoFileSystemObjectIsFalse) {
    inject("CreateObject", "Scripting.FileSystemObject", 429);
    EXPECT_EQ(chkFolder("D:\\Web\\bob"), Variant(false));
    EXPECT_FALSE(exists("D:\\Web\\bob"));
}

}  // namespace
}  // namespace tarnwick::testing
