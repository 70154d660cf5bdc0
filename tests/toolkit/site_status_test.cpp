// SiteStatus and Computer on the embedded platform.
#include "toolkit_fixture.h"

namespace tarnwick::testing {
namespace {

// The error page shows each backslash-n pair of a message as a line break.
const std::string kCannotComplete = "无法完成指定操作.\n\n错误码: ";
const std::string kCannotStart = "无法启动站点!";
const std::string kCannotStop = "无法停止站点!";

class SiteStatus : public ToolkitFixture {
protected:
    void SetUp() override {
        ToolkitFixture::SetUp();
        addSite(2, {":80:bob.com", ":80:www.bob.com"}, false);
    }
    Variant status(Variant site, Variant what) { return call("SiteStatus", {site, what}); }
};

TEST_F(SiteStatus, TrueOrMinusOneStartsAndFalseOrZeroStops) {
    // Numeric text compares as its number; Empty compares as 0. A start or
    // stop is kept in ServerAutoStart too, for the next start of the service.
    const std::pair<Variant, bool> cases[] = {
        {true, true}, {false, false}, {-1, true}, {0, false}, {"-1", true}, {Variant(), false},
    };
    for (const auto& [what, started] : cases) {
        SCOPED_TRACE(automation::toText(what));
        EXPECT_EQ(status(started ? Variant(2) : Variant("2"), what), Variant(true));
        EXPECT_EQ(siteState(2), started ? 2 : 4);
        EXPECT_EQ(keyAt("/LM/W3SVC/2")["properties"]["ServerAutoStart"]["value"], started);
    }
    EXPECT_EQ(status(2.0, 0), Variant(true));
    EXPECT_EQ(siteState(2), 4);
    EXPECT_EQ(page->responseState().body, "");
}

TEST_F(SiteStatus, NeitherTrueNorFalseDoesNothingWithoutAPage) {
    for (const Variant& what : {Variant(1), Variant(2), Variant(Variant::null())}) {
        EXPECT_EQ(status(2, what), Variant(false));
    }
    EXPECT_EQ(siteState(2), 4);
    EXPECT_EQ(page->responseState().body, "");
    EXPECT_FALSE(ended());
}

TEST_F(SiteStatus, AMissingSiteShowsTheBindingErrorInHexadecimal) {
    EXPECT_EQ(status(7, true), Variant(false));
    EXPECT_EQ(errorMessage(), kCannotComplete + "80070003");
    EXPECT_TRUE(ended());
}

TEST_F(SiteStatus, ABindingFaultShowsItsOwnNumber) {
    inject("GetObject", "IIS://WEBHOST/W3SVC/2", static_cast<int32_t>(0x80070005u));
    EXPECT_EQ(status(2, true), Variant(false));
    EXPECT_EQ(errorMessage(), kCannotComplete + "80070005");
    EXPECT_EQ(siteState(2), 4);

    // A small script number has no leading zeros.
    newPage();
    inject("GetObject", "IIS://WEBHOST/W3SVC/2", 70);
    EXPECT_EQ(status(2, true), Variant(false));
    EXPECT_EQ(errorMessage(), kCannotComplete + "46");
}

TEST_F(SiteStatus, AFailingComputerNameIsReportedAsABindingError) {
    inject("CreateObject", "Wscript.Network", 429);
    EXPECT_EQ(status(2, true), Variant(false));
    EXPECT_EQ(errorMessage(), kCannotComplete + "1AD");
    EXPECT_EQ(siteState(2), 4);
}

TEST_F(SiteStatus, TextThatIsNoNumberShowsTheStartMessageAndStartsNothing) {
    EXPECT_EQ(status(2, "abc"), Variant(false));
    EXPECT_EQ(errorMessage(), kCannotStart);
    EXPECT_EQ(siteState(2), 4);
}

TEST_F(SiteStatus, AStartRefusedForATakenBindingShowsTheStartMessage) {
    // Site 3 serves the same host name as the running site 2.
    addSite(3, {":80:www.bob.com"}, false);
    ASSERT_EQ(status(2, true), Variant(true));
    EXPECT_EQ(status(3, true), Variant(false));
    EXPECT_EQ(errorMessage(), kCannotStart);
    EXPECT_EQ(siteState(3), 4);
    EXPECT_EQ(siteState(2), 2);
}

TEST_F(SiteStatus, AFailingStopShowsTheStopMessage) {
    ASSERT_EQ(status(2, true), Variant(true));
    inject("Stop", "*", static_cast<int32_t>(0x80070005u));
    EXPECT_EQ(status(2, false), Variant(false));
    EXPECT_EQ(errorMessage(), kCannotStop);
    EXPECT_EQ(siteState(2), 2);
}

TEST_F(SiteStatus, StartingARunningSiteReportsWhatStartReports) {
    ASSERT_EQ(status(2, true), Variant(true));
    EXPECT_EQ(status(2, true), Variant(true));
    EXPECT_EQ(siteState(2), 2);
    EXPECT_EQ(page->responseState().body, "");
}

class ComputerName : public ToolkitFixture {
protected:
    void SetUp() override {
        ToolkitFixture::SetUp();
        platform->load({{"settings", {{"computer", "Web-Host01"}}}});
    }
    int32_t errorOfComputer() {
        try {
            call("Computer");
        } catch (const automation::AutomationError& error) {
            return error.number();
        }
        return 0;
    }
};

TEST_F(ComputerName, IsTheNetworkObjectsNameUnchanged) {
    auto name = call("Computer");
    EXPECT_EQ(name, Variant("Web-Host01"));
    EXPECT_EQ(call("computer"), name);
}

TEST_F(ComputerName, FailuresOfTheNetworkObjectReachTheCaller) {
    inject("CreateObject", "WScript.Network", 429);
    EXPECT_EQ(errorOfComputer(), 429);
    inject("ComputerName", "*", static_cast<int32_t>(0x80070035u));
    EXPECT_EQ(errorOfComputer(), static_cast<int32_t>(0x80070035u));
    EXPECT_EQ(call("Computer"), Variant("Web-Host01"));
    EXPECT_EQ(page->responseState().body, "");
}

}  // namespace
}  // namespace tarnwick::testing
