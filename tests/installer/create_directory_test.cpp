// CreateDirectory: every missing folder on the way, parents first; never the
// server part of a network path.
#include "installer/create_directory.h"

#include "automation/error.h"
#include "automation/text.h"
#include "installer_fixture.h"

namespace tarnwick::testing {
namespace {

using automation::Variant;

// A FileSystemObject that knows a set of folders and records what it is asked.
class FolderLog : public automation::Dispatch {
public:
    std::vector<std::string> existing;
    std::vector<std::string> created;
    std::vector<std::string> asked;

    Variant invoke(std::string_view name, automation::InvokeKind,
                   std::span<Variant> args) override {
        auto path = automation::toText(args[0]);
        if (automation::equalsIgnoreCase(name, "FolderExists")) {
            asked.push_back(path);
            return std::find(existing.begin(), existing.end(), path) != existing.end();
        }
        if (path == "\\\\server\\") automation::raise(76, "Path not found");
        created.push_back(path);
        existing.push_back(path);
        return {};
    }
};

using Strings = std::vector<std::string>;

TEST(CreateDirectory, CreatesEachMissingLevelOnce) {
    FolderLog fso;
    fso.existing = {"D:\\"};
    EXPECT_EQ(installer::CreateDirectory(fso, "D:\\a\\b\\c"), "");
    EXPECT_EQ(fso.created, (Strings{"D:\\a\\", "D:\\a\\b\\", "D:\\a\\b\\c"}));

    FolderLog trailing;
    trailing.existing = {"D:\\"};
    EXPECT_EQ(installer::CreateDirectory(trailing, "D:\\a\\b\\"), "");
    EXPECT_EQ(trailing.created, (Strings{"D:\\a\\", "D:\\a\\b\\"}));

    FolderLog present;
    present.existing = {"D:\\a"};
    EXPECT_EQ(installer::CreateDirectory(present, "D:\\a"), "");
    EXPECT_TRUE(present.created.empty());
}

TEST(CreateDirectory, NeverTouchesTheServerOfANetworkPath) {
    FolderLog fso;
    EXPECT_EQ(installer::CreateDirectory(fso, "\\\\server\\share\\x"), "");
    EXPECT_EQ(fso.created, (Strings{"\\\\server\\share\\", "\\\\server\\share\\x"}));
    EXPECT_EQ(fso.asked, (Strings{"\\\\server\\share\\x", "\\\\server\\share\\"}));
}

using CreateDirectoryOnPlatform = InstallerFixture;

TEST_F(CreateDirectoryOnPlatform, MakesTheFoldersOnTheDrives) {
    auto fso = platform->objects()("Scripting.FileSystemObject");
    EXPECT_EQ(installer::CreateDirectory(*fso, "D:\\a\\b\\c"), "");
    EXPECT_TRUE(exists("D:\\a\\b\\c"));
    EXPECT_EQ(installer::CreateDirectory(*fso, "D:\\x\\y\\"), "");
    EXPECT_TRUE(exists("D:\\x\\y"));
}

TEST_F(CreateDirectoryOnPlatform, AFailureIsReportedButTheInstallationStillRuns) {
    fillIn();
    form.fields.Text3 = "E:\\Panel";  // no drive E:
    EXPECT_FALSE(form.Command1_Click());
    ASSERT_GE(captions().size(), 3u);
    EXPECT_EQ(captions()[1], "网站目录创建失败: Path not found");
    EXPECT_EQ(captions()[2], msg::kCreatingAccount);
    // The folder is missing, so its permissions cannot be set.
    EXPECT_EQ(view.caption(), msg::kPermissionsNotSet);
}

}  // namespace
}  // namespace tarnwick::testing
