// CreatePool on IIS 6 and IIS 5 metabases.
#include "toolkit_fixture.h"

namespace tarnwick::testing {
namespace {

class CreatePool : public ToolkitFixture {
protected:
    Variant createPool(Variant name) { return call("CreatePool", {std::move(name)}); }
};

TEST_F(CreatePool, MakesThePoolWithTheServersDefaults) {
    EXPECT_TRUE(createPool("Tarn_bob").isEmpty());
    auto pool = keyAt("/LM/W3SVC/AppPools/Tarn_bob");
    ASSERT_FALSE(pool.is_null());
    EXPECT_EQ(pool["class"], "IIsApplicationPool");
    EXPECT_EQ(pool["properties"], json::object());
    EXPECT_EQ(page->responseState().body, "");
}

TEST_F(CreatePool, AnExistingPoolIsLeftAsItWas) {
    auto metabase = platform->dump()["metabase"];
    metabase["keys"].push_back({{"path", "/LM/W3SVC/AppPools/Tarn_bob"},
                                {"class", "IIsApplicationPool"},
                                {"properties", {{"AppPoolIdentityType", 2u}}}});
    platform->load({{"metabase", metabase}});
    auto before = platform->dump()["metabase"];
    EXPECT_TRUE(createPool("TARN_BOB").isEmpty());
    EXPECT_EQ(platform->dump()["metabase"], before);
}

TEST_F(CreatePool, EveryFailureEndsQuietlyWithEmpty) {
    auto before = platform->dump()["metabase"];
    EXPECT_TRUE(createPool("").isEmpty());
    // Names that are no plain key name make nothing.
    for (const std::string& name :
         std::vector<std::string>{"..", "a/b", "a\nb", std::string(256, 'p')}) {
        EXPECT_TRUE(createPool(name).isEmpty());
    }
    inject("GetObject", "*AppPools", static_cast<int32_t>(0x80070005u));
    EXPECT_TRUE(createPool("Tarn_bob").isEmpty());
    inject("Create", "*", static_cast<int32_t>(0x80070005u));
    EXPECT_TRUE(createPool("Tarn_bob").isEmpty());
    inject("SetInfo", "*", static_cast<int32_t>(0x80070005u));
    EXPECT_TRUE(createPool("Tarn_bob").isEmpty());
    inject("ComputerName", "*", 445);
    EXPECT_TRUE(createPool("Tarn_bob").isEmpty());
    EXPECT_EQ(platform->dump()["metabase"], before);
    EXPECT_EQ(page->responseState().body, "");
    EXPECT_TRUE(platform->faults().list().empty());
}

TEST_F(CreatePool, AnIis5ServerHasNoPoolsAndGetsNone) {
    platform::embedded::PlatformSettings settings;
    settings.computerName = "WEBHOST";
    settings.iisVersion = 5;
    platform = platform::embedded::EmbeddedPlatform::inMemory(settings);
    newPage();
    auto before = platform->dump()["metabase"];
    ASSERT_TRUE(keyAt("/LM/W3SVC/AppPools").is_null());
    EXPECT_TRUE(createPool("Tarn_bob").isEmpty());
    EXPECT_EQ(platform->dump()["metabase"], before);
    EXPECT_EQ(page->responseState().body, "");
}

}  // namespace
}  // namespace tarnwick::testing
