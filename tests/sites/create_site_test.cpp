// CreateSite on the embedded platform: site numbers, the duplicate-binding
// check, every property written, the pool or CPU limit, the templates, and
// each reported failure driven through fault injection.
#include <gtest/gtest.h>

#include "sites_fixture.h"

namespace tarnwick::testing {
namespace {

constexpr int32_t kAccessDenied = static_cast<int32_t>(0x80070005u);
constexpr int32_t kPropertyNotFound = static_cast<int32_t>(0x8000500Du);

using CreateSite = SitesFixture;

// --- Site numbers ------------------------------------------------------------

TEST_F(CreateSite, TakesTheLowestFreeNumberFromTwo) {
    addSites({{2, {":80:two.com"}}, {4, {":80:four.com"}}});
    EXPECT_EQ(createSite("bob", "bob.com"), Variant("3:True"));
    EXPECT_EQ(createSite("amy", "amy.com"), Variant("5:True"));
    EXPECT_EQ(errorMessage(), "");
}

TEST_F(CreateSite, TakesTheNumberAfterAnUnbrokenRun) {
    addSites({{2, {":80:two.com"}}, {3, {":80:three.com"}}});
    EXPECT_EQ(createSite("bob", "bob.com"), Variant("4:True"));
}

TEST_F(CreateSite, TakesTwoBesideTheDefaultSiteAndNeverOne) {
    EXPECT_EQ(createSite("bob", "bob.com"), Variant("2:True"));
    removeSite(1);
    removeSite(2);
    newPage();
    put("System", "2003");
    EXPECT_EQ(createSite("amy", "amy.com"), Variant("2:True"));
    EXPECT_EQ(createSite("cat", "cat.com"), Variant("3:True"));
    EXPECT_FALSE(keyExists(sitePath(1)));
}

TEST_F(CreateSite, ANumberHeldByAnotherCreateIsPassedOver) {
    // An unfinished Create elsewhere holds number 2 until its SetInfo.
    auto held = bind(kService)->call("Create", {"IIsWebServer", 2});
    EXPECT_EQ(createSite("bob", "bob.com"), Variant("3:True"));
}

TEST_F(CreateSite, TheNumberSearchGivesUpAfterSixtyFourFailedCreates) {
    for (int i = 0; i < 63; ++i) inject("Create", kService, kAccessDenied);
    EXPECT_EQ(createSite("bob", "bob.com"), Variant("65:True"));
    EXPECT_TRUE(faultsFired());

    newPage();
    for (int i = 0; i < 64; ++i) inject("Create", kService, kAccessDenied);
    Variant result = createSite("amy", "amy.com");
    EXPECT_TRUE(result.isEmpty());
    EXPECT_EQ(errorMessage(), "无法分配新的站点编号,请检查 IIS 配置!");
    EXPECT_TRUE(faultsFired());
    // It stopped before the folder and the account.
    EXPECT_FALSE(userExists("Tarn_amy"));
    EXPECT_FALSE(folderExists("D:\\Web\\amy"));
    EXPECT_EQ(siteKeys().size(), 2u);
}

TEST_F(CreateSite, ACreateThatAlwaysFailsEndsTheSearch) {
    inject("Create", kService, kAccessDenied, /*once=*/false);
    EXPECT_TRUE(createSite("bob", "bob.com").isEmpty());
    EXPECT_EQ(errorMessage(), "无法分配新的站点编号,请检查 IIS 配置!");
}

// --- Duplicate bindings --------------------------------------------------------

TEST_F(CreateSite, AnotherSiteWithTheSiteBindingRefusesTheOrderBeforeAnythingIsMade) {
    addSites({{2, {":80:other.com", ":80:bob.com"}, "", /*started=*/false}});
    EXPECT_TRUE(createSite("bob", "bob.com").isEmpty());
    EXPECT_EQ(errorMessage(), "你所要绑定的域名已存在,请改换其他域名!");
    EXPECT_TRUE(ended());
    EXPECT_FALSE(userExists("Tarn_bob"));
    EXPECT_FALSE(folderExists("D:\\Web\\bob"));
    EXPECT_FALSE(keyExists(sitePath(3)));
}

TEST_F(CreateSite, WithoutShowIPOnlyABindingOnAllAddressesBlocks) {
    addSites({{2, {"10.0.0.5:80:bob.com"}}, {3, {":81:bob.com"}}});
    EXPECT_EQ(createSite("bob", "bob.com"), Variant("4:True"));
    EXPECT_EQ(property(sitePath(4), "ServerBindings"),
              Variant(Variant::Array{":80:bob.com", ":80:www.bob.com"}));
}

TEST_F(CreateSite, WithShowIPTheBindingCarriesTheRequestsAddress) {
    addSites({{2, {":80:bob.com"}}});
    put("ShowIP", true);
    EXPECT_EQ(createSite("bob", "bob.com"), Variant("3:True"));
    EXPECT_EQ(property(sitePath(3), "ServerBindings"),
              Variant(Variant::Array{"10.0.0.5:80:bob.com", "10.0.0.5:80:www.bob.com"}));

    newPage();
    put("System", "2003");
    put("ShowIP", true);
    EXPECT_TRUE(createSite("amy", "bob.com").isEmpty());
    EXPECT_EQ(errorMessage(), "你所要绑定的域名已存在,请改换其他域名!");

    // The same host name on another address of the server is free.
    newPage({{"LOCAL_ADDR", "10.0.0.6"}});
    put("System", "2003");
    put("ShowIP", "True");
    EXPECT_EQ(createSite("amy", "bob.com"), Variant("4:True"));
}

// The duplicate check compares both new bindings with every binding of
// every other site, host names ignoring case, as IIS matches them.
TEST_F(CreateSite, EitherNewBindingThatAnotherSiteHoldsRefusesTheOrder) {
    const struct {
        const char* other;
        const char* domain;
        bool refused;
    } cases[] = {
        {":80:BOB.COM", "bob.com", true},      {":80:www.bob.com", "bob.com", true},
        {":80:WWW.Bob.Com", "bob.com", true},  {":80:www.bob.com", "www.bob.com", true},
        {":80:bob.com", "www.bob.com", false}, {":80:bob.com.cn", "bob.com", false},
        {":81:www.bob.com", "bob.com", false}, {"10.0.0.5:80:www.bob.com", "bob.com", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.other) + " " + c.domain);
        platform = makePlatform();
        newPage();
        put("System", "2003");
        addSites({{7, {c.other}, "", /*started=*/false}});
        const auto result = createSite("bob", c.domain);
        EXPECT_EQ(result.isEmpty(), c.refused);
        EXPECT_EQ(errorMessage(), c.refused ? "你所要绑定的域名已存在,请改换其他域名!" : "");
        EXPECT_EQ(userExists("Tarn_bob"), !c.refused);
    }
}

// Host names: what a Host header can carry, in DNS labels; anything else is
// refused before anything is made.
TEST_F(CreateSite, TheDomainMustBeAHostName) {
    const std::string longest = std::string(63, 'a') + "." + std::string(63, 'b') + "." +
                                std::string(63, 'c') + "." + std::string(61, 'd');
    const std::pair<std::string, bool> names[] = {
        {"bob.com", true},
        {"a-b.example", true},
        {"xn--fiqs8s.cn", true},
        {"localhost", true},
        {"10.0.0.9", true},
        {longest, true},
        {longest + "e", false},
        {std::string(64, 'a') + ".com", false},
        {std::string("bob.com\0", 8), false},
        {"bob.com\r\n", false},
        {"a.com:81", false},
        {"bob .com", false},
        {" bob.com", false},
        {"<script>", false},
        {"*.bob.com", false},
        {"bob.com/x", false},
        {"-bad.com", false},
        {"bad-.com", false},
        {"a..com", false},
        {"bob.com.", false},
        {".bob.com", false},
        {"中国.cn", false},
        {"bob_1.com", false},
    };
    for (const auto& [name, accepted] : names) {
        SCOPED_TRACE(name);
        newPage();
        put("System", "2003");
        const auto result = createSite("bob", name);
        EXPECT_EQ(!result.isEmpty(), accepted);
        if (accepted) {
            removeSite(2);
            bind("WinNT://WEBHOST")->call("Delete", {"User", "Tarn_bob"});
        } else {
            EXPECT_EQ(errorMessage(), "参数出错,请检查!");
            EXPECT_EQ(siteKeys().size(), 1u);
            EXPECT_FALSE(userExists("Tarn_bob"));
        }
    }
}

TEST_F(CreateSite, AHostNameWithWwwGetsItTwiceInTheWwwBinding) {
    EXPECT_EQ(createSite("bob", "www.bob.com"), Variant("2:True"));
    EXPECT_EQ(property(sitePath(2), "ServerBindings"),
              Variant(Variant::Array{":80:www.bob.com", ":80:www.www.bob.com"}));
}

// --- Properties ----------------------------------------------------------------

TEST_F(CreateSite, WritesEverySitePropertyAndTheAccount) {
    ASSERT_EQ(createSite(Order{}), Variant("2:True"));
    const auto site = sitePath(2);
    EXPECT_EQ(property(site, "ServerBindings"),
              Variant(Variant::Array{":80:bob.com", ":80:www.bob.com"}));
    EXPECT_EQ(property(site, "ServerSize"), Variant(1));
    EXPECT_EQ(property(site, "ServerComment"), Variant("Z_BOB.COM"));
    EXPECT_EQ(property(site, "AnonymousUserName"), Variant("WEBHOST\\Tarn_bob"));
    EXPECT_EQ(property(site, "KeyType"), Variant("IIsWebServer"));
    EXPECT_EQ(property(site, "FrontPageWeb"), Variant(false));
    EXPECT_EQ(property(site, "MaxBandwidthBlocked"), Variant(-1));  // True in a DWORD
    EXPECT_EQ(property(site, "LogType"), Variant(0));
    EXPECT_EQ(property(site, "LogFileDirectory"), Variant("D:\\Web\\bob"));
    EXPECT_EQ(property(site, "ServerState"), Variant(2));
    auto stored = storedProperties("/LM/W3SVC/2");
    EXPECT_EQ(stored["MaxBandwidth"]["value"], 4294967295u);
    EXPECT_EQ(stored["MaxConnections"]["value"], 4294967295u);

    // The password the site's anonymous access uses is the account's new one.
    auto password = automation::toText(property(site, "AnonymousUserPass"));
    EXPECT_EQ(password.size(), 41u) << password;
    auto accounts = platform->dump()["accounts"];
    nlohmann::json user;
    for (const auto& entry : accounts["users"]) {
        if (entry["name"] == "Tarn_bob") user = entry;
    }
    ASSERT_FALSE(user.is_null());
    EXPECT_EQ(user["fullName"], "Internet 来宾帐号");
    EXPECT_EQ(user["description"], "匿名访问 Internet 信息服务的内置帐号");
    EXPECT_EQ(user["flags"].get<int64_t>() & 0x10000, 0x10000);
    EXPECT_EQ(user["groups"], nlohmann::json::array({"Guests"}));

    // The folder grants the account read and write, inherited by files and folders.
    std::string sid = user["sid"];
    auto dacl = daclOf("D:\\Web\\bob");
    EXPECT_NE(dacl.find("(A;OIIO;GRGW;;;" + sid + ")(A;CI;GRGW;;;" + sid + ")"), std::string::npos)
        << dacl;
}

TEST_F(CreateSite, WritesEveryRootDirectoryProperty) {
    ASSERT_EQ(createSite(Order{}), Variant("2:True"));
    const auto root = rootPath(2);
    EXPECT_EQ(property(root, "Class"), Variant("IIsWebVirtualDir"));
    EXPECT_EQ(property(root, "Path"), Variant("D:\\Web\\bob"));
    EXPECT_EQ(property(root, "AppPoolId"), Variant("Tarn_bob"));
    EXPECT_EQ(property(root, "EnableDefaultDoc"), Variant(true));
    EXPECT_EQ(property(root, "DefaultDoc"), Variant("index.htm,index.asp"));
    EXPECT_EQ(property(root, "AccessRead"), Variant(true));
    EXPECT_EQ(property(root, "AccessWrite"), Variant(false));
    EXPECT_EQ(property(root, "AccessSource"), Variant(false));
    EXPECT_EQ(property(root, "AccessScript"), Variant(true));
    EXPECT_EQ(property(root, "ContentIndexed"), Variant(false));
    EXPECT_EQ(property(root, "DontLog"), Variant(true));
    EXPECT_EQ(property(root, "EnableDirBrowsing"), Variant(false));
    EXPECT_EQ(property(root, "AppFriendlyName"), Variant("应用程序"));
    EXPECT_EQ(property(root, "AppRoot"), Variant("/LM/W3SVC/2/ROOT"));
    EXPECT_EQ(property(root, "HttpErrors"),
              Variant(Variant::Array{"404,0,FILE,D:\\Web\\bob\\404.htm"}));
    EXPECT_EQ(property(root, "AspScriptErrorSentToBrowser"), Variant(false));
    EXPECT_EQ(property(root, "AspScriptErrorMessage"),
              Variant("Script Error! Power By www.tarnwick.example...."));
    EXPECT_EQ(property(root, "AspEnableParentPaths"), Variant(true));
}

TEST_F(CreateSite, BandwidthAndConnectionLimitsAtTheirBoundaries) {
    struct Case {
        Variant band;
        bool blocked;
        uint32_t bandwidth;
        Variant connections;
        uint32_t maxConnections;
    };
    const Case cases[] = {
        {0, false, 0, 0, 0},
        {1024, false, 1048576, 500, 500},
        {1025, true, 4294967295u, -1, 4294967295u},
        {-1, true, 4294967295u, -2, 4294967295u},
        {"1", false, 1024, "7", 7},
        {"abc", true, 4294967295u, "many", 4294967295u},
    };
    int user = 0;
    for (const auto& c : cases) {
        Order order;
        order.user = "u" + std::to_string(++user);
        order.path = "D:\\Web\\" + order.user.string();
        order.domain = order.user.string() + ".com";
        order.bandwidth = c.band;
        order.connections = c.connections;
        auto result = createSite(order);
        ASSERT_EQ(errorMessage(), "");
        auto stored = storedProperties("/LM/W3SVC/" + std::to_string(siteNumberOf(result)));
        SCOPED_TRACE(automation::toText(c.band) + " / " + automation::toText(c.connections));
        EXPECT_EQ(stored["MaxBandwidthBlocked"]["value"], c.blocked ? 4294967295u : 0u);
        EXPECT_EQ(stored["MaxBandwidth"]["value"], c.bandwidth);
        EXPECT_EQ(stored["MaxConnections"]["value"], c.maxConnections);
    }
}

TEST_F(CreateSite, TheNumberZeroIsNotAnEmptyArgument) {
    Order order;
    order.connections = 0;
    order.bandwidth = 0;
    order.pool = 0;
    order.docs = 0;
    put("System", "2000");
    EXPECT_EQ(createSite(order), Variant("2:True"));
    EXPECT_EQ(property(rootPath(2), "DefaultDoc"), Variant("0"));
    EXPECT_TRUE(fileExists("D:\\Web\\bob\\0"));
}

TEST_F(CreateSite, TheDescriptionIsTheUpperCaseHostNameAfterZ) {
    EXPECT_EQ(createSite("bob", "my-site9.Example.com"), Variant("2:True"));
    EXPECT_EQ(property(sitePath(2), "ServerComment"), Variant("Z_MY-SITE9.EXAMPLE.COM"));
    // A name in other letters comes in its ASCII form.
    EXPECT_EQ(createSite("amy", "xn--caf-dma.xn--fiqs8s"), Variant("3:True"));
    EXPECT_EQ(property(sitePath(3), "ServerComment"), Variant("Z_XN--CAF-DMA.XN--FIQS8S"));
}

// On Windows 2003 the pool's name becomes a metabase key: anything that is
// not a plain key name is refused before anything is made.
TEST_F(CreateSite, OnWindows2003ThePoolMustBeAPlainKeyName) {
    const std::pair<std::string, bool> names[] = {
        {"Tarn_bob", true},
        {std::string(255, 'p'), true},
        {"池 1", true},
        {"..", false},
        {".", false},
        {"a/b", false},
        {"a\\b", false},
        {"a\nb", false},
        {std::string(256, 'p'), false},
    };
    for (const auto& [name, accepted] : names) {
        SCOPED_TRACE(name);
        platform = makePlatform();
        newPage();
        put("System", "2003");
        Order order;
        order.pool = name;
        const size_t before = platform->dump()["metabase"]["keys"].size();
        EXPECT_EQ(createSite(order).isEmpty(), !accepted);
        EXPECT_EQ(errorMessage(), accepted ? "" : "参数出错,请检查!");
        EXPECT_EQ(userExists("Tarn_bob"), accepted);
        EXPECT_EQ(platform->dump()["metabase"]["keys"].size(), before + (accepted ? 3 : 0));
    }
}

TEST_F(CreateSite, OnWindows2003ThePoolIsMadeAndNamedWithoutCpuLimits) {
    ASSERT_EQ(createSite(Order{}), Variant("2:True"));
    EXPECT_EQ(property("IIS://WEBHOST/W3SVC/AppPools/Tarn_bob", "Class"),
              Variant("IIsApplicationPool"));
    EXPECT_EQ(property(rootPath(2), "AppPoolId"), Variant("Tarn_bob"));
    EXPECT_EQ(propertyError(sitePath(2), "CpuLimitsEnabled"), kPropertyNotFound);
    EXPECT_EQ(propertyError(sitePath(2), "CpuLimitLogEvent"), kPropertyNotFound);
}

TEST_F(CreateSite, AnExistingPoolIsSharedAndLeftAsItWas) {
    ASSERT_EQ(createSite(Order{}), Variant("2:True"));
    auto pool = bind("IIS://WEBHOST/W3SVC/AppPools/Tarn_bob");
    pool->put("IdleTimeout", 7);
    pool->call("SetInfo");
    EXPECT_EQ(createSite({"amy", "D:\\Web\\amy", "amy.com", -1, -1, "Tarn_bob", "a.htm"}),
              Variant("3:True"));
    EXPECT_EQ(property(rootPath(3), "AppPoolId"), Variant("Tarn_bob"));
    EXPECT_EQ(property("IIS://WEBHOST/W3SVC/AppPools/Tarn_bob", "IdleTimeout"), Variant(7));
}

TEST_F(CreateSite, OnOtherSystemsTheCpuLimitIsWrittenAndNoPoolMade) {
    for (const Variant& system : {Variant("2000"), Variant(), Variant("2003 ")}) {
        SCOPED_TRACE(automation::toText(system));
        newPage();
        put("System", system);
        Order order;
        order.user = "u" + std::to_string(siteKeys().size());
        order.path = "D:\\Web\\" + order.user.string();
        order.domain = order.user.string() + ".com";
        order.pool = 30;
        auto number = siteNumberOf(createSite(order));
        EXPECT_EQ(property(sitePath(number), "CpuLimitsEnabled"), Variant(true));
        EXPECT_EQ(property(sitePath(number), "CpuLimitLogEvent"), Variant(30000));
        EXPECT_EQ(propertyError(rootPath(number), "AppPoolId"), kPropertyNotFound);
        EXPECT_FALSE(keyExists("IIS://WEBHOST/W3SVC/AppPools/30"));
    }
}

// --- Start and templates ---------------------------------------------------------

TEST_F(CreateSite, CopiesTheTemplatesIntoTheSiteFolder) {
    ASSERT_EQ(createSite(Order{}), Variant("2:True"));
    EXPECT_TRUE(fileExists("D:\\Web\\bob\\index.htm"));
    EXPECT_TRUE(fileExists("D:\\Web\\bob\\404.htm"));
    EXPECT_TRUE(fileExists("D:\\Web\\bob\\ReadMe.txt"));
    auto read = [&](const std::string& path) {
        auto stream = files()->call("OpenTextFile", {path});
        return automation::toText(automation::objectOf(stream).call("ReadAll"));
    };
    EXPECT_EQ(read("D:\\Web\\bob\\index.htm"), read("C:\\Inetpub\\wwwroot\\Template\\Index.htm"));
    EXPECT_EQ(read("D:\\Web\\bob\\404.htm"), read("C:\\Inetpub\\wwwroot\\Template\\Error.htm"));
}

TEST_F(CreateSite, TheIndexTemplateTakesTheFirstDefaultDocumentsName) {
    const std::pair<const char*, const char*> cases[] = {
        {"index.asp,default.htm", "index.asp"},
        {",index.htm", "Index.Html"},
        {"  ,index.htm", "Index.Html"},
        {" home.htm,index.htm", " home.htm"},
    };
    int user = 0;
    for (const auto& [docs, name] : cases) {
        SCOPED_TRACE(docs);
        Order order;
        order.user = "u" + std::to_string(++user);
        std::string folder = "D:\\Web\\" + order.user.string();
        order.path = folder;
        order.domain = order.user.string() + ".com";
        order.docs = docs;
        createSite(order);
        EXPECT_TRUE(fileExists(folder + "\\" + name));
        EXPECT_EQ(property(rootPath(user + 1), "DefaultDoc"), Variant(docs));
    }
}

// In a folder that was there, the templates go only where it has nothing of
// their names: its own pages, whatever their letter case, stay as they were.
TEST_F(CreateSite, TheTemplatesNeverReplaceWhatTheFolderHeld) {
    makeFolders("D:\\Web\\bob\\404.htm");  // a folder where a template file would go
    for (const char* kept : {"D:\\Web\\bob\\INDEX.htm", "D:\\Web\\bob\\ReadMe.txt"}) {
        writeFile(kept, "mine");
    }
    ASSERT_EQ(createSite(Order{}), Variant("2:True"));
    for (const char* kept : {"D:\\Web\\bob\\index.htm", "D:\\Web\\bob\\ReadMe.txt"}) {
        EXPECT_EQ(automation::objectOf(files()->call("GetFile", {kept})).get("Size"), Variant(4))
            << kept;
    }
    EXPECT_TRUE(folderExists("D:\\Web\\bob\\404.htm"));
}

TEST_F(CreateSite, ASiteThatCannotStartReportsFalseAndStillGetsItsTemplates) {
    inject("Start", sitePath(2), kAccessDenied);
    EXPECT_EQ(createSite(Order{}), Variant("2:False"));
    EXPECT_EQ(errorMessage(), "");
    EXPECT_FALSE(ended());
    EXPECT_EQ(property(sitePath(2), "ServerState"), Variant(4));
    EXPECT_TRUE(fileExists("D:\\Web\\bob\\index.htm"));
    EXPECT_TRUE(fileExists("D:\\Web\\bob\\ReadMe.txt"));
}

// --- Failures ----------------------------------------------------------------------

TEST_F(CreateSite, AnEmptyArgumentIsRefusedBeforeAnythingIsTouched) {
    for (int missing = 0; missing < 7; ++missing) {
        SCOPED_TRACE(missing);
        newPage();
        std::vector<Variant> args = {"bob", "D:\\Web\\bob", "bob.com", -1, -1, "Tarn_bob", "a.htm"};
        args[static_cast<size_t>(missing)] = missing % 2 ? Variant("") : Variant();
        auto result =
            call("CreateSite", {args[0], args[1], args[2], args[3], args[4], args[5], args[6]});
        EXPECT_TRUE(result.isEmpty());
        EXPECT_EQ(errorMessage(), "参数出错,请检查!");
    }
    EXPECT_EQ(siteKeys().size(), 1u);
    EXPECT_FALSE(userExists("Tarn_bob"));
}

TEST_F(CreateSite, AWebServiceThatCannotBeBoundStopsTheOrder) {
    inject("GetObject", kService, kAccessDenied);
    EXPECT_TRUE(createSite(Order{}).isEmpty());
    EXPECT_EQ(errorMessage(), "无法加载W3SVC服务!");
    EXPECT_FALSE(userExists("Tarn_bob"));
}

TEST_F(CreateSite, AComputerNameThatCannotBeReadStopsTheOrder) {
    inject("CreateObject", "WScript.Network", static_cast<int32_t>(0x800A01ADu));
    EXPECT_TRUE(createSite(Order{}).isEmpty());
    EXPECT_EQ(errorMessage(), "无法加载W3SVC服务!");
}

TEST_F(CreateSite, AFolderThatCannotBeMadeEndsTheOrderQuietly) {
    auto result = createSite({"bob", "Q:\\Web\\bob", "bob.com", -1, -1, "Tarn_bob", "a.htm"});
    EXPECT_TRUE(result.isEmpty());
    EXPECT_EQ(page->responseState().body, "");
    EXPECT_FALSE(ended());
    EXPECT_FALSE(userExists("Tarn_bob"));
    EXPECT_FALSE(keyExists(sitePath(2)));
    // The page goes on.
    EXPECT_EQ(createSite(Order{}), Variant("2:True"));
}

TEST_F(CreateSite, AnAccountThatExistsAlreadyIsReported) {
    ASSERT_EQ(createSite(Order{}), Variant("2:True"));
    newPage();
    put("System", "2003");
    EXPECT_TRUE(
        createSite({"bob", "D:\\Web\\bob2", "bob2.com", -1, -1, "Tarn_bob", "a.htm"}).isEmpty());
    EXPECT_EQ(errorMessage(), "创建NT帐号失败!");
    EXPECT_EQ(siteKeys().size(), 2u);
}

// Each step that makes something, failing once: the page names the failure
// and nothing of the order is left, so the same order then goes through.
struct StepFailure {
    const char* member;
    const char* path;
    const char* message;
};

TEST_F(CreateSite, AFailedStepIsReportedAndLeavesNothingBehind) {
    const StepFailure failures[] = {
        {"SetInfo", "WinNT://WEBHOST/Tarn_bob", "创建NT帐号失败!"},
        {"Add", "WinNT://WEBHOST/Guests", "设置NT帐号属性失败!"},
        {"SetFileSecurityA", "D:\\Web\\bob", "网站安全设置权限设置出错!"},
        {"SetInfo", "IIS://WEBHOST/W3SVC/2", "无法完成指定操作.\n\n错误码: 80070005"},
        {"ServerBindings", "IIS://WEBHOST/W3SVC/2", "无法完成指定操作.\n\n错误码: 80070005"},
        {"SetInfo", "IIS://WEBHOST/W3SVC/2/ROOT", "主目录创建时出错!"},
        {"Create", "IIS://WEBHOST/W3SVC/AppPools", "无法完成指定操作.\n\n错误码: 80070003"},
        {"AppCreate", "IIS://WEBHOST/W3SVC/2/ROOT", "无法完成指定操作.\n\n错误码: 80070005"},
        {"CopyFile", "*", "无法完成指定操作.\n\n错误码: 80070005"},
        {"GetFolder", "*Other", "无法完成指定操作.\n\n错误码: 80070005"},
    };
    for (const auto& failure : failures) {
        SCOPED_TRACE(std::string(failure.member) + " " + failure.path);
        newPage();
        put("System", "2003");
        inject(failure.member, failure.path, kAccessDenied);
        EXPECT_TRUE(createSite(Order{}).isEmpty());
        EXPECT_EQ(errorMessage(), failure.message);
        EXPECT_TRUE(faultsFired());
        EXPECT_EQ(siteKeys().size(), 1u);
        EXPECT_FALSE(userExists("Tarn_bob"));
        EXPECT_FALSE(folderExists("D:\\Web\\bob"));
        EXPECT_FALSE(keyExists("IIS://WEBHOST/W3SVC/AppPools/Tarn_bob"));
        auto members = groupMembers("Guests");
        EXPECT_EQ(std::count(members.begin(), members.end(), "Tarn_bob"), 0);
    }
    newPage();
    put("System", "2003");
    EXPECT_EQ(createSite(Order{}), Variant("2:True"));
}

// The site lock: a wait that runs out (another page held it for 30 seconds)
// or a lock that cannot be reached ends the order before anything is made.
TEST_F(CreateSite, ASiteLockThatCannotBeTakenMakesNothing) {
    for (int32_t number : {platform::MachineLock::kTimeout, kAccessDenied}) {
        newPage();
        put("System", "2003");
        inject("WaitForSingleObject", "Global\\Tarnwick.SiteBindings", number);
        EXPECT_TRUE(createSite(Order{}).isEmpty());
        EXPECT_EQ(errorMessage(), "无法完成指定操作.\n\n错误码: " + automation::hexNumber(number));
        EXPECT_EQ(siteKeys().size(), 1u);
        EXPECT_FALSE(userExists("Tarn_bob"));
        EXPECT_FALSE(folderExists("D:\\Web\\bob"));
    }
}

TEST_F(CreateSite, AFolderThatWasThereGetsItsAccessBackAndKeepsItsFiles) {
    makeFolders("D:\\Web\\bob");
    writeFile("D:\\Web\\bob\\keep.htm", "x");
    const std::string dacl = daclOf("D:\\Web\\bob");
    inject("SetInfo", "IIS://WEBHOST/W3SVC/2/ROOT", kAccessDenied);
    EXPECT_TRUE(createSite(Order{}).isEmpty());
    EXPECT_EQ(errorMessage(), "主目录创建时出错!");
    EXPECT_TRUE(fileExists("D:\\Web\\bob\\keep.htm"));
    EXPECT_EQ(daclOf("D:\\Web\\bob"), dacl);
    EXPECT_FALSE(userExists("Tarn_bob"));
}

TEST_F(CreateSite, APoolThatWasThereIsSharedAndStaysWhenTheOrderFails) {
    automation::objectOf(
        bind("IIS://WEBHOST/W3SVC/AppPools")->call("Create", {"IIsApplicationPool", "Shared"}))
        .call("SetInfo");
    Order order;
    order.pool = "Shared";
    inject("CopyFile", "*", kAccessDenied);
    EXPECT_TRUE(createSite(order).isEmpty());
    EXPECT_TRUE(keyExists("IIS://WEBHOST/W3SVC/AppPools/Shared"));
    newPage();
    put("System", "2003");
    EXPECT_EQ(createSite(order), Variant("2:True"));
    EXPECT_EQ(property(rootPath(2), "AppPoolId"), Variant("Shared"));
}

TEST_F(CreateSite, OutsideAPageTheMemberRaisesError91) {
    object->control().OnEndPage();
    try {
        createSite(Order{});
        FAIL() << "no error";
    } catch (const automation::AutomationError& error) {
        EXPECT_EQ(error.number(), 91);
    }
    EXPECT_EQ(siteKeys().size(), 1u);
}

}  // namespace
}  // namespace tarnwick::testing
