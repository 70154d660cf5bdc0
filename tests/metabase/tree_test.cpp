// Keys as scripts reach them: binding, pending writes, Create and SetInfo,
// Delete, enumeration, Start and Stop, applications, KeyType, reservations
// and faults, over both storages.
#include "metabase_fixture.h"
#include "platform/embedded/metabase/document.h"

namespace tarnwick::testing {
namespace {

namespace errors = mb::errors;
constexpr int32_t kAccessDenied = static_cast<int32_t>(0x80070005u);

using Binding = MetabaseTest;
using Properties = MetabaseTest;
using Creation = MetabaseTest;
using Deletion = MetabaseTest;
using SiteState = MetabaseTest;
using Applications = MetabaseTest;
using Reservations = MetabaseTest;
using KeyTypes = MetabaseTest;

TEST_P(Binding, PathsIgnoreCaseAndNameTheKey) {
    auto root = bind("iis://localhost/w3svc/1/root/");
    EXPECT_EQ(root->get("Class"), Variant("IIsWebVirtualDir"));
    EXPECT_EQ(root->get("Name"), Variant("ROOT"));
    EXPECT_EQ(root->get("ADsPath"), Variant("IIS://localhost/W3SVC/1/ROOT"));
    EXPECT_EQ(root->get("Parent"), Variant("IIS://localhost/W3SVC/1"));
    EXPECT_EQ(bind("IIS://webserver/W3SVC")->get("KeyType"), Variant("IIsWebService"));
    auto machine = bind("IIS://WEBSERVER");
    EXPECT_EQ(machine->get("Class"), Variant("IIsComputer"));
    EXPECT_EQ(machine->get("Parent"), Variant("IIS:"));
}

TEST_P(Binding, FailuresCarryTheProviderNumbers) {
    EXPECT_EQ(bindError("IIS://WEBSERVER/W3SVC/2"), errors::kPathNotFound);
    EXPECT_EQ(bindError("IIS://WEBSERVER/W3SVC/1/ROOT/Missing"), errors::kPathNotFound);
    EXPECT_EQ(bindError("IIS://OTHERHOST/W3SVC"), errors::kBadNetPath);
    EXPECT_EQ(bindError("WinNT://WEBSERVER/W3SVC"), errors::kInvalidSyntax);
    EXPECT_EQ(bindError("IIS://WEBSERVER//W3SVC"), errors::kInvalidSyntax);
    EXPECT_EQ(bindError("IIS:///W3SVC"), errors::kInvalidSyntax);
    // The computer name is read at each bind.
    host->computer = "RENAMED";
    EXPECT_EQ(bindError("IIS://WEBSERVER/W3SVC"), errors::kBadNetPath);
    EXPECT_EQ(bindError("IIS://renamed/W3SVC"), 0);
}

TEST_P(Binding, AFreshServerHasTheDefaultSiteAndPool) {
    auto site = bind("IIS://WEBSERVER/W3SVC/1");
    EXPECT_EQ(texts(site->get("ServerBindings")), std::vector<std::string>{":80:"});
    EXPECT_EQ(site->get("ServerComment"), Variant("Default Web Site"));
    EXPECT_EQ(site->get("ServerState"), Variant(2));
    EXPECT_EQ(site->get("AnonymousUserName"), Variant("IUSR_WEBSERVER"));
    EXPECT_EQ(bind("IIS://WEBSERVER/W3SVC/1/Root")->get("Path"), Variant("C:\\Inetpub\\wwwroot"));
    EXPECT_EQ(bind("IIS://WEBSERVER/W3SVC/AppPools/DefaultAppPool")->get("Class"),
              Variant("IIsApplicationPool"));
    // Seeding again keeps what is there.
    site->put("ServerComment", "Changed");
    site->call("SetInfo");
    tree->seedDefaults();
    EXPECT_EQ(bind("IIS://WEBSERVER/W3SVC/1")->get("ServerComment"), Variant("Changed"));
}

TEST_P(Binding, ApplicationPoolsExistOnIis6Only) {
    host->version = 5;
    EXPECT_EQ(bindError("IIS://WEBSERVER/W3SVC/AppPools"), errors::kPathNotFound);
    auto service = bind("IIS://WEBSERVER/W3SVC");
    auto children = service->get("Children");
    for (const auto& child : children.array()) {
        EXPECT_NE(child.object()->get("Class"), Variant("IIsApplicationPools"));
    }
    EXPECT_EQ(errorOf([&] { create(service, "IIsApplicationPools", "AppPools"); }),
              errors::kSchemaViolation);

    auto storage5 = GetParam().make();
    auto fresh5 = mb::MetabaseTree::create(storage5, host);
    fresh5->seedDefaults();
    host->version = 6;
    EXPECT_EQ(errorOf([&] { fresh5->bind("IIS://WEBSERVER/W3SVC/AppPools"); }),
              errors::kPathNotFound);
    EXPECT_EQ(errorOf([&] { fresh5->bind("IIS://WEBSERVER/W3SVC/1/ROOT"); }), 0);
}

TEST_P(Binding, TheWebServiceHoldsFiltersInfoSitesAndOnIis6ThePools) {
    using Seen = std::vector<std::pair<std::string, std::string>>;
    const std::pair<int, Seen> cases[] = {
        {5, {{"Filters", "IIsFilters"}, {"Info", "IIsWebInfo"}, {"1", "IIsWebServer"}}},
        {6,
         {{"Filters", "IIsFilters"},
          {"Info", "IIsWebInfo"},
          {"1", "IIsWebServer"},
          {"AppPools", "IIsApplicationPools"}}},
    };
    for (const auto& [version, expected] : cases) {
        SCOPED_TRACE(version);
        auto server = freshServer(version);
        Seen seen;
        auto children = server.tree->bind("IIS://WEBSERVER/W3SVC")->get("Children");
        for (const auto& child : children.array()) {
            seen.emplace_back(child.object()->get("Name").string(),
                              child.object()->get("Class").string());
        }
        EXPECT_EQ(seen, expected);
        auto filters = server.tree->bind("IIS://WEBSERVER/W3SVC/Filters");
        create(filters, "IIsFilter", "Compression")->call("SetInfo");
        create(server.tree->bind("IIS://WEBSERVER/W3SVC/1"), "IIsFilters", "Filters")
            ->call("SetInfo");
        EXPECT_EQ(errorOf([&] {
                      create(server.tree->bind("IIS://WEBSERVER/W3SVC/Info"), "IIsFilter", "x");
                  }),
                  errors::kSchemaViolation);
    }
}

TEST_P(Binding, EveryBindAndCallPassesTheFaultCheck) {
    host->faults = {{"GetObject", "IIS://WEBSERVER/W3SVC/7", errors::kPathNotFound},
                    {"SetInfo", "IIS://WEBSERVER/W3SVC/1", kAccessDenied},
                    {"ServerComment", "IIS://WEBSERVER/W3SVC/1", kAccessDenied}};
    EXPECT_EQ(bindError("IIS://WEBSERVER/W3SVC/7"), errors::kPathNotFound);
    auto site = bind("IIS://WEBSERVER/W3SVC/1");
    EXPECT_EQ(errorOf([&] { site->get("ServerComment"); }), kAccessDenied);
    site->put("ServerComment", "Kept pending");
    EXPECT_EQ(errorOf([&] { site->call("SetInfo"); }), kAccessDenied);
    EXPECT_EQ(bind("IIS://WEBSERVER/W3SVC/1")->get("ServerComment"), Variant("Default Web Site"));
    site->call("SetInfo");  // the fault fired once; the write was still pending
    EXPECT_EQ(bind("IIS://WEBSERVER/W3SVC/1")->get("ServerComment"), Variant("Kept pending"));
}

TEST_P(Properties, WritesStayPendingUntilSetInfo) {
    auto writer = bind("IIS://WEBSERVER/W3SVC/1");
    auto reader = bind("IIS://WEBSERVER/W3SVC/1");
    writer->put("MaxConnections", 500);
    writer->call("Put", {"ServerComment", "Pending"});
    EXPECT_EQ(writer->get("MaxConnections"), Variant(500));
    EXPECT_EQ(writer->call("Get", {"servercomment"}), Variant("Pending"));
    EXPECT_EQ(errorOf([&] { reader->get("MaxConnections"); }), errors::kPropertyNotFound);
    EXPECT_EQ(reader->get("ServerComment"), Variant("Default Web Site"));
    writer->call("SetInfo");
    EXPECT_EQ(reader->get("MaxConnections"), Variant(500));
    EXPECT_EQ(reader->call("Get", {"ServerComment"}), Variant("Pending"));
}

TEST_P(Properties, GetInfoDropsPendingWrites) {
    auto site = bind("IIS://WEBSERVER/W3SVC/1");
    site->put("ServerComment", "Dropped");
    site->call("GetInfo");
    site->call("SetInfo");
    EXPECT_EQ(bind("IIS://WEBSERVER/W3SVC/1")->get("ServerComment"), Variant("Default Web Site"));
}

TEST_P(Properties, UnknownNamesAndFixedProperties) {
    auto site = bind("IIS://WEBSERVER/W3SVC/1");
    EXPECT_EQ(errorOf([&] { site->get("NoSuchProperty"); }), automation::errors::kMemberNotFound);
    EXPECT_EQ(errorOf([&] { site->put("NoSuchProperty", 1); }),
              automation::errors::kMemberNotFound);
    EXPECT_EQ(errorOf([&] { site->call("Get", {"NoSuchProperty"}); }), errors::kPropertyNotFound);
    EXPECT_EQ(errorOf([&] {
                  site->call("Put", {"NoSuchProperty", 1});
              }),
              errors::kPropertyNotSupported);
    EXPECT_EQ(errorOf([&] { site->put("Class", "IIsWebServer"); }),
              automation::errors::kMemberNotFound);
    EXPECT_EQ(errorOf([&] { site->call("SetInfo", {1}); }),
              automation::errors::kWrongArgumentCount);
    site->put("KeyType", "iiswebserver");
    EXPECT_EQ(errorOf([&] { site->put("KeyType", "IIsWebVirtualDir"); }), errors::kSchemaViolation);
    EXPECT_EQ(errorOf([&] { site->put("ServerState", 4); }), errors::kPropertyNotSupported);
    EXPECT_EQ(errorOf([&] { bind("IIS://WEBSERVER/W3SVC/1/ROOT")->get("ServerState"); }),
              errors::kPropertyNotFound);
}

TEST_P(Creation, ANewKeyExistsOnlyAfterItsSetInfo) {
    auto service = bind("IIS://WEBSERVER/W3SVC");
    auto site = create(service, "iiswebserver", 2);
    EXPECT_EQ(site->get("Class"), Variant("IIsWebServer"));
    EXPECT_EQ(site->get("ADsPath"), Variant("IIS://WEBSERVER/W3SVC/2"));
    site->put("ServerComment", "Z_A.COM");
    EXPECT_EQ(bindError("IIS://WEBSERVER/W3SVC/2"), errors::kPathNotFound);
    // Filters, Info, 1 and AppPools, not 2.
    EXPECT_EQ(service->get("Children").array().size(), 4u);
    EXPECT_EQ(errorOf([&] { site->call("Start"); }), errors::kPathNotFound);
    EXPECT_EQ(errorOf([&] { create(site, "IIsWebVirtualDir", "ROOT"); }), errors::kPathNotFound);

    site->call("SetInfo");
    auto bound = bind("IIS://WEBSERVER/W3SVC/2");
    EXPECT_EQ(bound->get("ServerComment"), Variant("Z_A.COM"));
    EXPECT_EQ(bound->get("ServerState"), Variant(4));  // a new site is stopped
    auto root = create(site, "IIsWebVirtualDir", "ROOT");
    root->put("Path", "D:\\Sites\\a");
    root->call("SetInfo");
    EXPECT_EQ(bind("IIS://WEBSERVER/W3SVC/2/Root")->get("Path"), Variant("D:\\Sites\\a"));
}

TEST_P(Creation, ATakenNameCannotBeCreatedAgain) {
    auto service = bind("IIS://WEBSERVER/W3SVC");
    EXPECT_EQ(errorOf([&] { create(service, "IIsWebServer", "1"); }), errors::kAlreadyExists);
    EXPECT_EQ(errorOf([&] { create(service, "IIsWebServer", "appPOOLS"); }),
              errors::kAlreadyExists);
    auto pending = create(service, "IIsWebServer", "5");
    EXPECT_EQ(errorOf([&] { create(service, "IIsWebServer", "5"); }), errors::kAlreadyExists);
    EXPECT_EQ(
        errorOf([&] {
            otherProcess()->bind("IIS://WEBSERVER/W3SVC")->call("Create", {"IIsWebServer", "5"});
        }),
        errors::kAlreadyExists);
    pending.reset();  // dropped without SetInfo: the name is free again
    EXPECT_EQ(errorOf([&] { create(service, "IIsWebServer", "5"); }), 0);
}

TEST_P(Creation, TheContainerDecidesWhatItHolds) {
    auto service = bind("IIS://WEBSERVER/W3SVC");
    EXPECT_EQ(errorOf([&] { create(service, "IIsWebVirtualDir", "x"); }), errors::kSchemaViolation);
    EXPECT_EQ(errorOf([&] { create(service, "NoSuchClass", "x"); }), errors::kSchemaViolation);
    EXPECT_EQ(errorOf([&] { create(service, "IIsWebServer", ""); }), errors::kInvalidArgument);
    EXPECT_EQ(errorOf([&] { create(service, "IIsWebServer", "a/b"); }), errors::kInvalidArgument);
    auto pools = bind("IIS://WEBSERVER/W3SVC/AppPools");
    auto pool = create(pools, "IIsApplicationPool", "Pool_a");
    pool->call("SetInfo");
    EXPECT_EQ(bind("IIS://WEBSERVER/W3SVC/AppPools/pool_A")->get("Name"), Variant("Pool_a"));
}

TEST_P(Creation, SetInfoFailsWhenTheContainerWentAway) {
    addSite("3", {":80:c.com"}, false);
    auto root = create(bind("IIS://WEBSERVER/W3SVC/3"), "IIsWebVirtualDir", "ROOT");
    bind("IIS://WEBSERVER/W3SVC")->call("Delete", {"IIsWebServer", "3"});
    EXPECT_EQ(errorOf([&] { root->call("SetInfo"); }), errors::kPathNotFound);
}

TEST_P(Deletion, DeleteRemovesTheSubtreeAtOnce) {
    auto service = bind("IIS://WEBSERVER/W3SVC");
    auto site = bind("IIS://WEBSERVER/W3SVC/1");
    EXPECT_EQ(errorOf([&] {
                  service->call("DELETE", {"IIsWebVirtualDir", "1"});
              }),
              errors::kPathNotFound);
    service->call("DELETE", {"iiswebserver", 1});
    EXPECT_EQ(bindError("IIS://WEBSERVER/W3SVC/1"), errors::kPathNotFound);
    EXPECT_EQ(bindError("IIS://WEBSERVER/W3SVC/1/ROOT"), errors::kPathNotFound);
    EXPECT_EQ(errorOf([&] { site->get("ServerComment"); }), errors::kPathNotFound);
    EXPECT_EQ(errorOf([&] {
                  service->call("Delete", {"IIsWebServer", "1"});
              }),
              errors::kPathNotFound);
    // The number is free for a new site, without the old one's properties.
    auto again = create(service, "IIsWebServer", "1");
    again->call("SetInfo");
    EXPECT_EQ(errorOf([&] { bind("IIS://WEBSERVER/W3SVC/1")->get("ServerComment"); }),
              errors::kPropertyNotFound);
}

TEST_P(Deletion, EnumerationGivesObjectsWithTheirClassesInCreationOrder) {
    addSite("10", {":80:j.com"}, false);
    addSite("2", {":80:b.com"}, false);
    std::vector<std::pair<std::string, std::string>> seen;
    auto children = bind("IIS://WEBSERVER/W3SVC")->get("Children");
    for (const auto& child : children.array()) {
        seen.emplace_back(child.object()->get("Name").string(),
                          child.object()->get("Class").string());
    }
    using Seen = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(seen, (Seen{{"Filters", "IIsFilters"},
                          {"Info", "IIsWebInfo"},
                          {"1", "IIsWebServer"},
                          {"AppPools", "IIsApplicationPools"},
                          {"10", "IIsWebServer"},
                          {"2", "IIsWebServer"}}));
    auto siteTwo = children.array().back().object();
    EXPECT_EQ(texts(siteTwo->get("ServerBindings")), std::vector<std::string>{":80:b.com"});
}

TEST_P(SiteState, StartAndStopChangeTheStateAtOnce) {
    addSite("2", {":80:a.com", ":80:www.a.com"}, false);
    auto site = bind("IIS://WEBSERVER/W3SVC/2");
    auto observer = bind("IIS://WEBSERVER/W3SVC/2");
    site->call("Start");
    EXPECT_EQ(observer->get("ServerState"), Variant(2));
    site->call("Start");  // starting a started site is fine
    site->call("Stop");
    EXPECT_EQ(observer->get("ServerState"), Variant(4));
    EXPECT_EQ(errorOf([&] { bind("IIS://WEBSERVER/W3SVC/1/ROOT")->call("Start"); }),
              automation::errors::kMemberNotFound);
}

TEST_P(SiteState, StartAndStopSetServerAutoStart) {
    addSite("2", {":80:a.com"}, false);
    auto site = bind("IIS://WEBSERVER/W3SVC/2");
    EXPECT_EQ(errorOf([&] { site->get("ServerAutoStart"); }), errors::kPropertyNotFound);
    site->call("Start");
    EXPECT_EQ(bind("IIS://WEBSERVER/W3SVC/2")->get("ServerAutoStart"), Variant(true));
    site->call("Stop");
    EXPECT_EQ(storage->properties("/LM/W3SVC/2").at("ServerAutoStart"),
              mb::PropertyValue::boolean(false));
    // A start that is refused changes neither.
    addSite("3", {":80:"}, false);
    auto clash = bind("IIS://WEBSERVER/W3SVC/3");
    clash->put("ServerAutoStart", true);
    clash->call("SetInfo");
    clash->call("Stop");
    EXPECT_EQ(errorOf([&] { clash->call("Start"); }), errors::kAlreadyExists);
    EXPECT_EQ(clash->get("ServerAutoStart"), Variant(false));
    EXPECT_EQ(clash->get("ServerState"), Variant(4));
}

TEST_P(SiteState, AStartedSiteKeepsItsBindings) {
    addSite("2", {":80:a.com", "10.0.0.1:80:b.com"}, true);
    auto refused = [&](const std::string& number, Variant::Array bindings) {
        addSite(number, std::move(bindings), false);
        auto result = errorOf([&] { bind("IIS://WEBSERVER/W3SVC/" + number)->call("Start"); });
        bind("IIS://WEBSERVER/W3SVC")->call("Delete", {"IIsWebServer", number});
        return result == errors::kAlreadyExists;
    };
    EXPECT_TRUE(refused("3", {":80:A.COM"}));               // host names ignore case
    EXPECT_TRUE(refused("3", {":81:x.com", ":80:a.com"}));  // any one binding
    EXPECT_TRUE(refused("3", {"10.0.0.1:80:b.com"}));
    EXPECT_FALSE(refused("3", {"10.0.0.1:80:a.com"}));  // a specific address beside all
    EXPECT_FALSE(refused("3", {":80:b.com"}));
    EXPECT_FALSE(refused("3", {":8080:a.com"}));
    EXPECT_FALSE(refused("3", {":80:www.a.com"}));
    // The default site on ":80:" is started too: a site without a host name collides with it.
    EXPECT_TRUE(refused("3", {":80:"}));

    bind("IIS://WEBSERVER/W3SVC/2")->call("Stop");
    EXPECT_FALSE(refused("3", {":80:a.com"}));  // stopped sites hold nothing
    addSite("4", {"no binding"}, false);
    EXPECT_EQ(errorOf([&] { bind("IIS://WEBSERVER/W3SVC/4")->call("Start"); }),
              errors::kInvalidArgument);
}

TEST_P(Applications, AppCreateMakesAnApplication) {
    auto root = bind("IIS://WEBSERVER/W3SVC/1/ROOT");
    root->call("AppCreate", {0});
    EXPECT_EQ(root->get("AppRoot"), Variant("/LM/W3SVC/1/ROOT"));
    EXPECT_EQ(bind("IIS://WEBSERVER/W3SVC/1/ROOT")->get("AppIsolated"), Variant(1));
    root->call("AppCreate", {true});
    EXPECT_EQ(root->get("AppIsolated"), Variant(0));
    root->call("AppCreate2", {2});
    EXPECT_EQ(root->get("AppIsolated"), Variant(2));
    EXPECT_EQ(errorOf([&] { root->call("AppCreate2", {3}); }), errors::kInvalidArgument);
    EXPECT_EQ(errorOf([&] { bind("IIS://WEBSERVER/W3SVC/1")->call("AppCreate", {0}); }),
              automation::errors::kMemberNotFound);

    // On a key that Create made, AppCreate makes the key too (see KeyTypes).
    addSite("2", {":80:a.com"}, false);
    auto newRoot = create(bind("IIS://WEBSERVER/W3SVC/2"), "IIsWebVirtualDir", "ROOT");
    newRoot->put("Path", "D:\\a");
    newRoot->call("AppCreate", {0});
    auto stored = bind("IIS://WEBSERVER/W3SVC/2/ROOT");
    EXPECT_EQ(stored->get("AppRoot"), Variant("/LM/W3SVC/2/ROOT"));
    EXPECT_EQ(errorOf([&] { stored->get("Path"); }), errors::kPropertyNotFound);
    newRoot->call("SetInfo");
    EXPECT_EQ(stored->get("Path"), Variant("D:\\a"));
}

TEST_P(Reservations, AReservationOfADeadProcessIsDropped) {
    auto other = otherProcess(300);
    auto held = create(other->bind("IIS://WEBSERVER/W3SVC"), "IIsWebServer", "6");
    auto service = bind("IIS://WEBSERVER/W3SVC");
    EXPECT_EQ(errorOf([&] { create(service, "IIsWebServer", "6"); }), errors::kAlreadyExists);
    host->alive.erase(300);
    auto mine = create(service, "IIsWebServer", "6");
    // The dead process's object cannot store over the new reservation...
    EXPECT_EQ(errorOf([&] { held->call("SetInfo"); }), errors::kAlreadyExists);
    // ...nor take the name back when it is dropped.
    held.reset();
    mine->call("SetInfo");
    EXPECT_EQ(bind("IIS://WEBSERVER/W3SVC/6")->get("Class"), Variant("IIsWebServer"));
}

TEST_P(Reservations, AnOldReservationIsDropped) {
    auto held = create(otherProcess(300)->bind("IIS://WEBSERVER/W3SVC"), "IIsWebServer", "6");
    auto service = bind("IIS://WEBSERVER/W3SVC");
    host->clock += mb::kReservationLifetime;
    EXPECT_EQ(errorOf([&] { create(service, "IIsWebServer", "6"); }), errors::kAlreadyExists);
    host->clock += 1;
    EXPECT_EQ(errorOf([&] { create(service, "IIsWebServer", "6"); }), 0);
}

// A key exists once SetInfo stored it, with its class as KeyType; but
// AppCreate on a key that Create made stores the key at once, and IIS 4 and
// 5 store it without KeyType (KB 321768): the key is a generic IIsObject.
TEST_P(KeyTypes, SetInfoStoresTheClassAsKeyType) {
    for (int version : {5, 6}) {
        SCOPED_TRACE(version);
        auto server = freshServer(version);
        auto directory =
            create(server.tree->bind("IIS://WEBSERVER/W3SVC/1/ROOT"), "IIsWebVirtualDir", "Sub");
        directory->call("SetInfo");
        auto bound = server.tree->bind("IIS://WEBSERVER/W3SVC/1/ROOT/Sub");
        EXPECT_EQ(bound->get("Class"), Variant("IIsWebVirtualDir"));
        EXPECT_EQ(bound->get("KeyType"), Variant("IIsWebVirtualDir"));
    }
}

TEST_P(KeyTypes, AppCreateBeforeSetInfoStoresTheKeyAtOnce) {
    struct Case {
        int version;
        bool keyTypePut;
        const char* storedClass;
    };
    const Case cases[] = {
        {5, false, "IIsObject"},
        {5, true, "IIsWebVirtualDir"},
        {6, false, "IIsWebVirtualDir"},
        {6, true, "IIsWebVirtualDir"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.version) + (c.keyTypePut ? " with KeyType" : ""));
        auto server = freshServer(c.version);
        const std::string path = "IIS://WEBSERVER/W3SVC/1/ROOT/App";
        auto app =
            create(server.tree->bind("IIS://WEBSERVER/W3SVC/1/ROOT"), "IIsWebVirtualDir", "App");
        app->put("Path", "D:\\App");
        if (c.keyTypePut) app->put("KeyType", "IIsWebVirtualDir");
        app->call("AppCreate", {true});

        // The key and its application exist before the SetInfo...
        auto bound = server.tree->bind(path);
        EXPECT_EQ(bound->get("AppRoot"), Variant("/LM/W3SVC/1/ROOT/App"));
        EXPECT_EQ(bound->get("AppIsolated"), Variant(0));
        EXPECT_EQ(bound->get("Path"), Variant("C:\\Inetpub\\wwwroot"));  // still the root's
        const bool typedAtOnce = c.version == 6;
        EXPECT_EQ(bound->get("Class"), Variant(typedAtOnce ? "IIsWebVirtualDir" : "IIsObject"));
        EXPECT_EQ(errorOf([&] { bound->get("KeyType"); }),
                  typedAtOnce ? 0 : errors::kPropertyNotFound);
        EXPECT_EQ(app->get("Class"), Variant("IIsWebVirtualDir"));

        // ...which stores the other writes, and KeyType when it was put.
        app->call("SetInfo");
        auto stored = server.tree->bind(path);
        EXPECT_EQ(stored->get("Path"), Variant("D:\\App"));
        EXPECT_EQ(stored->get("Class"), Variant(c.storedClass));
        EXPECT_EQ(errorOf([&] { stored->get("KeyType"); }),
                  std::string_view(c.storedClass) == "IIsObject" ? errors::kPropertyNotFound : 0);
    }
}

TEST_P(KeyTypes, AKeyWithoutKeyTypeTakesOneItsParentMayHold) {
    auto server = freshServer(5);
    auto root = create(server.tree->bind("IIS://WEBSERVER/W3SVC/1"), "IIsWebVirtualDir", "Two");
    root->call("AppCreate", {false});
    root->call("SetInfo");
    auto generic = server.tree->bind("IIS://WEBSERVER/W3SVC/1/Two");
    ASSERT_EQ(generic->get("Class"), Variant("IIsObject"));
    create(generic, "IIsWebVirtualDir", "Below")->call("SetInfo");
    EXPECT_EQ(errorOf([&] { generic->call("AppCreate", {true}); }),
              automation::errors::kMemberNotFound);
    EXPECT_EQ(errorOf([&] { generic->put("KeyType", "IIsNothing"); }), errors::kSchemaViolation);

    // A site cannot hold a site: the SetInfo is refused and stores nothing.
    generic->put("KeyType", "IIsWebServer");
    generic->put("DefaultDoc", "a.htm");
    EXPECT_EQ(errorOf([&] { generic->call("SetInfo"); }), errors::kSchemaViolation);
    EXPECT_EQ(server.tree->bind("IIS://WEBSERVER/W3SVC/1/Two")->get("Class"), Variant("IIsObject"));
    EXPECT_EQ(server.storage->properties("/LM/W3SVC/1/Two").count("DefaultDoc"), 0u);

    generic->call("GetInfo");
    generic->put("KeyType", "iiswebvirtualdir");
    generic->call("SetInfo");
    auto typed = server.tree->bind("IIS://WEBSERVER/W3SVC/1/Two");
    EXPECT_EQ(typed->get("Class"), Variant("IIsWebVirtualDir"));
    EXPECT_EQ(typed->get("KeyType"), Variant("IIsWebVirtualDir"));
    EXPECT_EQ(typed->get("AppIsolated"), Variant(1));
    EXPECT_EQ(server.tree->bind("IIS://WEBSERVER/W3SVC/1/Two/Below")->get("Class"),
              Variant("IIsWebVirtualDir"));
    // Once typed, the class stays.
    EXPECT_EQ(errorOf([&] { typed->put("KeyType", "IIsWebDirectory"); }), errors::kSchemaViolation);
}

TEST_P(KeyTypes, AKeyWithoutKeyTypeIsKeptInTheStateDocument) {
    auto server = freshServer(5);
    auto app = create(server.tree->bind("IIS://WEBSERVER/W3SVC/1/ROOT"), "IIsWebVirtualDir", "A");
    app->call("AppCreate", {true});
    app->call("SetInfo");
    auto dumped = mb::dumpDocument(*server.storage);
    auto copy = GetParam().make();
    mb::loadDocument(*copy, dumped);
    EXPECT_EQ(mb::dumpDocument(*copy), dumped);
    EXPECT_EQ(copy->findKey("/LM/W3SVC/1/ROOT/A")->keyClass, "IIsObject");
}

INSTANTIATE_TEST_SUITE_P(Storage, Binding, ::testing::ValuesIn(kStorageKinds), storageName);
INSTANTIATE_TEST_SUITE_P(Storage, Properties, ::testing::ValuesIn(kStorageKinds), storageName);
INSTANTIATE_TEST_SUITE_P(Storage, Creation, ::testing::ValuesIn(kStorageKinds), storageName);
INSTANTIATE_TEST_SUITE_P(Storage, Deletion, ::testing::ValuesIn(kStorageKinds), storageName);
INSTANTIATE_TEST_SUITE_P(Storage, SiteState, ::testing::ValuesIn(kStorageKinds), storageName);
INSTANTIATE_TEST_SUITE_P(Storage, Applications, ::testing::ValuesIn(kStorageKinds), storageName);
INSTANTIATE_TEST_SUITE_P(Storage, Reservations, ::testing::ValuesIn(kStorageKinds), storageName);
INSTANTIATE_TEST_SUITE_P(Storage, KeyTypes, ::testing::ValuesIn(kStorageKinds), storageName);

}  // namespace
}  // namespace tarnwick::testing
