// DefaultDoc on the embedded metabase.
#include "toolkit_fixture.h"

namespace tarnwick::testing {
namespace {

class DefaultDoc : public ToolkitFixture {
protected:
    void SetUp() override {
        ToolkitFixture::SetUp();
        addSite(2, {":80:bob.com"}, true);
        // The root starts with default documents switched off (given as the
        // Boolean that older state documents hold).
        auto metabase = platform->dump()["metabase"];
        for (auto& key : metabase["keys"]) {
            if (key["path"] == "/LM/W3SVC/2/ROOT") key["properties"]["EnableDefaultDoc"] = false;
        }
        platform->load({{"metabase", metabase}});
    }
    // Calls DefaultDoc as a script does, with its two arguments by reference.
    Variant defaultDoc(std::vector<Variant>& args) {
        return object->invoke("DefaultDoc", automation::InvokeKind::Method, args);
    }
    json rootProperties(int site) {
        return keyAt("/LM/W3SVC/" + std::to_string(site) + "/ROOT")["properties"];
    }
    // EnableDefaultDoc as the root stores it: a bit of its DirBrowseFlags.
    bool rootEnablesDefaultDoc(int site) {
        return (rootProperties(site)["DirBrowseFlags"]["value"].get<uint32_t>() & 0x40000000) != 0;
    }
};

TEST_F(DefaultDoc, StoresTheListOnTheRootAndLeavesTheArgumentsAsTheyWere) {
    std::vector<Variant> args = {2, "index.asp,default.htm"};
    EXPECT_EQ(defaultDoc(args), Variant(true));
    auto root = bind("IIS://WEBHOST/W3SVC/2/ROOT");
    EXPECT_EQ(root->get("DefaultDoc"), Variant("index.asp,default.htm"));
    EXPECT_EQ(root->get("EnableDefaultDoc"), Variant(true));
    EXPECT_EQ(args[0], Variant(2));
    EXPECT_EQ(args[1], Variant("index.asp,default.htm"));
    EXPECT_EQ(page->responseState().body, "");
}

TEST_F(DefaultDoc, AcceptsAnEmptyListAndASiteNumberGivenAsText) {
    std::vector<Variant> args = {"2", ""};
    EXPECT_EQ(defaultDoc(args), Variant(true));
    EXPECT_EQ(rootProperties(2)["DefaultDoc"]["value"], "");
    EXPECT_TRUE(rootEnablesDefaultDoc(2));
    EXPECT_EQ(args[0], Variant("2"));
    EXPECT_EQ(args[1], Variant(""));
}

TEST_F(DefaultDoc, AMissingSiteReturnsFalseWithoutAPageAndWritesNothing) {
    auto before = platform->dump()["metabase"];
    std::vector<Variant> args = {9, "a.htm"};
    EXPECT_EQ(defaultDoc(args), Variant(false));
    EXPECT_EQ(platform->dump()["metabase"], before);
    EXPECT_EQ(page->responseState().body, "");
    EXPECT_FALSE(ended());
    EXPECT_EQ(args[0], Variant(9));
}

TEST_F(DefaultDoc, AFailingSetInfoReturnsFalseAndStoresNothing) {
    auto before = platform->dump()["metabase"];
    inject("SetInfo", "*", static_cast<int32_t>(0x80070005u));
    std::vector<Variant> args = {2, "a.htm"};
    EXPECT_EQ(defaultDoc(args), Variant(false));
    EXPECT_EQ(platform->dump()["metabase"], before);
    EXPECT_EQ(page->responseState().body, "");
}

TEST_F(DefaultDoc, AFailedWriteStillLetsSetInfoStoreWhatWasAccepted) {
    inject("EnableDefaultDoc", "*", static_cast<int32_t>(0x80070005u));
    std::vector<Variant> args = {2, "a.htm"};
    EXPECT_EQ(defaultDoc(args), Variant(false));
    EXPECT_EQ(rootProperties(2)["DefaultDoc"]["value"], "a.htm");
    EXPECT_FALSE(rootEnablesDefaultDoc(2));
}

}  // namespace
}  // namespace tarnwick::testing
