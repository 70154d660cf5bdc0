// Property inheritance and flags: what a key reads when it does not set an
// inheritable property, the Booleans that are bits of AccessFlags and
// DirBrowseFlags, and flags that older stores and documents hold as separate
// Booleans.
#include "metabase_fixture.h"
#include "platform/embedded/metabase/document.h"
#include "platform/embedded/state_module.h"

namespace tarnwick::testing {
namespace {

using nlohmann::json;
namespace errors = mb::errors;
using mb::PropertyValue;

constexpr const char* kService = "IIS://WEBSERVER/W3SVC";
constexpr const char* kSite = "IIS://WEBSERVER/W3SVC/2";
constexpr const char* kRoot = "IIS://WEBSERVER/W3SVC/2/ROOT";

// Site 2 bound to ":80:b.com" with a root that sets nothing of its own.
class Inheritance : public MetabaseTest {
protected:
    void SetUp() override {
        addSite("2", {":80:b.com"}, false);
        create(bind(kSite), "IIsWebVirtualDir", "ROOT")->call("SetInfo");
    }
    void store(const char* path, std::string_view name, const Variant& value) {
        auto key = bind(path);
        key->put(name, value);
        key->call("SetInfo");
    }
    int32_t readError(const char* path, std::string_view name) {
        return errorOf([&] { bind(path)->get(name); });
    }
    json ownProperties(std::string_view keyPath) {
        const auto document = mb::dumpDocument(*storage);
        for (const auto& key : document["keys"]) {
            if (key["path"] == std::string(keyPath)) return key["properties"];
        }
        return nullptr;
    }
};

struct InheritanceCase {
    const char* property;
    Variant serviceValue;
    Variant siteValue;
    bool inheritable;  // the attribute table of the IIS 6.0 metabase property reference
};

const InheritanceCase kInheritanceCases[] = {
    {"AnonymousUserName", "WEBSERVER\\IUSR_A", "WEBSERVER\\Tarn_b", true},
    {"AnonymousUserPass", "secret-a", "secret-b", true},
    {"AnonymousPasswordSync", true, false, true},
    {"DefaultDoc", "a.htm", "b.htm,c.asp", true},
    {"AppPoolId", "PoolA", "PoolB", true},
    {"AppFriendlyName", "A", "B", true},
    {"AppRoot", "/LM/W3SVC", "/LM/W3SVC/2", true},
    {"AppIsolated", 0, 2, true},
    {"Path", "C:\\a", "D:\\b", true},
    {"AccessFlags", 1, 0x205, true},
    {"DirBrowseFlags", 0x4000001E, 0x80000000u * 1.0, true},
    {"AspEnableParentPaths", false, true, true},
    {"AspScriptErrorSentToBrowser", true, false, true},
    {"AspScriptErrorMessage", "a", "b", true},
    {"AspBufferingOn", true, false, true},
    {"HttpErrors", Variant::Array{"404,0,FILE,C:\\a.htm"}, Variant::Array{"404,0,URL,/b"}, true},
    {"ContentIndexed", true, false, true},
    {"DontLog", false, true, true},
    {"MaxConnections", 100, 20, true},
    {"MaxBandwidth", 4096, 1024, true},
    {"ConnectionTimeout", 900, 120, true},
    {"ServerComment", "All sites", "Site two", true},
    {"ServerSize", 1, 2, true},
    {"LogType", 1, 0, true},
    {"LogFileDirectory", "C:\\Logs", "D:\\Logs", true},
    {"CpuLimitsEnabled", true, false, true},
    {"UNCUserName", "a", "b", true},
    {"ServerBindings", Variant::Array{":81:"}, Variant::Array{":80:b.com"}, false},
    {"SecureBindings", Variant::Array{":443:"}, Variant::Array{":444:"}, false},
    {"ServerAutoStart", true, false, false},
    {"MaxBandwidthBlocked", 1, 2, false},
    {"FrontPageWeb", true, false, false},
};

TEST_P(Inheritance, AKeyReadsTheNearestValueOfAnInheritableProperty) {
    for (const auto& c : kInheritanceCases) {
        SCOPED_TRACE(c.property);
        auto converted = [&](const Variant& value) {
            return mb::toAutomation(mb::fromAutomation(mb::findProperty(c.property)->type, value));
        };
        store(kService, c.property, c.serviceValue);
        if (c.inheritable) {
            EXPECT_EQ(bind(kRoot)->get(c.property), converted(c.serviceValue));
            store(kSite, c.property, c.siteValue);
            EXPECT_EQ(bind(kRoot)->get(c.property), converted(c.siteValue));
            EXPECT_EQ(bind(kService)->get(c.property), converted(c.serviceValue));
        } else {
            EXPECT_EQ(readError(kRoot, c.property), errors::kPropertyNotFound);
            store(kSite, c.property, c.siteValue);
            EXPECT_EQ(readError(kRoot, c.property), errors::kPropertyNotFound);
        }
        // The key's own value comes first, and through Get as well.
        store(kRoot, c.property, c.serviceValue);
        EXPECT_EQ(bind(kRoot)->call("Get", {c.property}), converted(c.serviceValue));
        EXPECT_EQ(bind(kSite)->get(c.property), converted(c.siteValue));
    }
}

TEST_P(Inheritance, KeyTypeAndTheRunStateAreTheKeysOwn) {
    EXPECT_EQ(bind(kRoot)->get("KeyType"), Variant("IIsWebVirtualDir"));
    EXPECT_EQ(readError(kRoot, "ServerState"), errors::kPropertyNotFound);
}

TEST_P(Inheritance, TheStoredStateHoldsEachKeysOwnValuesOnly) {
    store(kService, "AnonymousUserName", "WEBSERVER\\IUSR_A");
    store(kService, "AccessFlags", 0x201);
    auto root = bind(kRoot);
    EXPECT_EQ(root->get("AnonymousUserName"), Variant("WEBSERVER\\IUSR_A"));
    EXPECT_EQ(root->get("AccessRead"), Variant(true));
    root->call("SetInfo");  // stores nothing: reading inherited values writes nothing
    EXPECT_EQ(ownProperties("/LM/W3SVC/2/ROOT"), json::object());
    EXPECT_FALSE(ownProperties("/LM/W3SVC/2").contains("AnonymousUserName"));
}

TEST_P(Inheritance, PendingWritesComeFirstAndANewKeyInheritsNothingBeforeItsSetInfo) {
    store(kService, "DefaultDoc", "a.htm");
    auto root = bind(kRoot);
    root->put("DefaultDoc", "mine.htm");
    EXPECT_EQ(root->get("DefaultDoc"), Variant("mine.htm"));
    EXPECT_EQ(bind(kRoot)->get("DefaultDoc"), Variant("a.htm"));

    // Undocumented: an object that Create made and no SetInfo stored reads
    // only what was written on it.
    auto directory = create(root, "IIsWebVirtualDir", "Sub");
    EXPECT_EQ(errorOf([&] { directory->get("DefaultDoc"); }), errors::kPropertyNotFound);
    directory->call("SetInfo");
    EXPECT_EQ(directory->get("DefaultDoc"), Variant("a.htm"));
}

TEST_P(Inheritance, AKeyThatIsGoneReadsNothingInherited) {
    store(kService, "DefaultDoc", "a.htm");
    auto root = bind(kRoot);
    bind(kSite)->call("Delete", {"IIsWebVirtualDir", "ROOT"});
    EXPECT_EQ(errorOf([&] { root->get("DefaultDoc"); }), errors::kPathNotFound);
}

TEST_P(Inheritance, ApplicationPoolsInheritFromTheirContainer) {
    store("IIS://WEBSERVER/W3SVC/AppPools", "AppPoolIdentityType", 3);
    EXPECT_EQ(bind("IIS://WEBSERVER/W3SVC/AppPools/DefaultAppPool")->get("AppPoolIdentityType"),
              Variant(3));
}

// --- Flags ---------------------------------------------------------------------------

using Flags = Inheritance;

struct FlagCase {
    const char* flag;
    const char* dword;
    uint32_t mask;
};

// The bits the IIS 6.0 metabase property reference gives for AccessFlags and
// DirBrowseFlags.
const FlagCase kFlagCases[] = {
    {"AccessRead", "AccessFlags", 0x00000001},
    {"AccessWrite", "AccessFlags", 0x00000002},
    {"AccessExecute", "AccessFlags", 0x00000004},
    {"AccessSource", "AccessFlags", 0x00000010},
    {"AccessScript", "AccessFlags", 0x00000200},
    {"AccessNoRemoteWrite", "AccessFlags", 0x00000400},
    {"AccessNoRemoteRead", "AccessFlags", 0x00001000},
    {"AccessNoRemoteExecute", "AccessFlags", 0x00002000},
    {"AccessNoRemoteScript", "AccessFlags", 0x00004000},
    {"DirBrowseShowDate", "DirBrowseFlags", 0x00000002},
    {"DirBrowseShowTime", "DirBrowseFlags", 0x00000004},
    {"DirBrowseShowSize", "DirBrowseFlags", 0x00000008},
    {"DirBrowseShowExtension", "DirBrowseFlags", 0x00000010},
    {"DirBrowseShowLongDate", "DirBrowseFlags", 0x00000020},
    {"EnableDefaultDoc", "DirBrowseFlags", 0x40000000},
    {"EnableDirBrowsing", "DirBrowseFlags", 0x80000000},
};

Variant dword(uint32_t value) { return Variant(static_cast<int32_t>(value)); }

TEST_P(Flags, EachFlagIsOneBitOfItsDword) {
    for (const auto& c : kFlagCases) {
        SCOPED_TRACE(c.flag);
        for (uint32_t before : {0u, 0xFFFFFFFFu, 0x4000001Eu, 0x201u}) {
            store(kRoot, c.dword, dword(before));
            EXPECT_EQ(bind(kRoot)->get(c.flag), Variant((before & c.mask) != 0));
            for (bool value : {true, false}) {
                store(kRoot, c.flag, value);
                uint32_t expected = value ? before | c.mask : before & ~c.mask;
                EXPECT_EQ(bind(kRoot)->get(c.dword), dword(expected));
                EXPECT_EQ(bind(kRoot)->get(c.flag), Variant(value));
                store(kRoot, c.dword, dword(before));
            }
        }
    }
}

TEST_P(Flags, WritingAFlagStoresTheWholeInheritedDwordOnTheKey) {
    store(kService, "AccessFlags", 0x205);
    store(kService, "DirBrowseFlags", dword(0x4000001E));
    EXPECT_EQ(bind(kRoot)->get("AccessExecute"), Variant(true));
    store(kRoot, "AccessWrite", true);
    store(kRoot, "EnableDirBrowsing", true);
    EXPECT_EQ(bind(kRoot)->get("AccessFlags"), Variant(0x207));
    EXPECT_EQ(bind(kRoot)->get("DirBrowseFlags"), dword(0xC000001E));
    EXPECT_EQ(bind(kService)->get("AccessFlags"), Variant(0x205));
    // From now on the root has flags of its own.
    store(kService, "AccessFlags", 0);
    EXPECT_EQ(bind(kRoot)->get("AccessRead"), Variant(true));
    EXPECT_EQ(ownProperties("/LM/W3SVC/2/ROOT"),
              (json{{"AccessFlags", {{"type", "number"}, {"value", 0x207}}},
                    {"DirBrowseFlags", {{"type", "number"}, {"value", 0xC000001Eu}}}}));
}

TEST_P(Flags, WritesStayPendingAndBuildOnEachOther) {
    auto root = bind(kRoot);
    root->put("AccessRead", true);
    root->put("AccessScript", true);
    root->put("AccessSource", false);
    EXPECT_EQ(root->get("AccessFlags"), Variant(0x201));
    EXPECT_EQ(root->get("AccessScript"), Variant(true));
    EXPECT_EQ(errorOf([&] { bind(kRoot)->get("AccessRead"); }), errors::kPropertyNotFound);
    root->put("AccessFlags", 4);
    root->put("AccessRead", true);
    root->call("SetInfo");
    EXPECT_EQ(bind(kRoot)->get("AccessFlags"), Variant(5));
}

TEST_P(Flags, AFlagWithoutItsDwordAnywhereIsNotSet) {
    EXPECT_EQ(errorOf([&] { bind(kRoot)->get("EnableDefaultDoc"); }), errors::kPropertyNotFound);
    EXPECT_EQ(errorOf([&] { bind(kRoot)->get("AccessWrite"); }), errors::kPropertyNotFound);
    // Undocumented: the other bits of a DWORD that no key sets start cleared.
    store(kRoot, "EnableDefaultDoc", true);
    EXPECT_EQ(bind(kRoot)->get("DirBrowseFlags"), dword(0x40000000));
}

TEST_P(Flags, AFlagTakesWhatConvertsToABoolean) {
    store(kRoot, "AccessRead", "True");
    store(kRoot, "AccessWrite", -1);
    EXPECT_EQ(bind(kRoot)->get("AccessFlags"), Variant(3));
    EXPECT_EQ(errorOf([&] { bind(kRoot)->put("AccessRead", Variant::null()); }),
              automation::errors::kTypeMismatch);
}

// --- Flags in older stores and documents ----------------------------------------------

using OlderFlags = Inheritance;

TEST_P(OlderFlags, StoredBooleansReadAsTheirDwordUntilTheDwordIsWritten) {
    // A store written before the flags lived in their DWORD.
    storage->writeProperties("/LM/W3SVC/2/ROOT",
                             {{"AccessRead", PropertyValue::boolean(true)},
                              {"AccessScript", PropertyValue::boolean(true)},
                              {"AccessWrite", PropertyValue::boolean(false)},
                              {"EnableDirBrowsing", PropertyValue::boolean(false)}});
    store(kService, "AccessFlags", 0x4);
    EXPECT_EQ(bind(kRoot)->get("AccessFlags"), Variant(0x201));
    EXPECT_EQ(bind(kRoot)->get("AccessExecute"), Variant(false));
    EXPECT_EQ(bind(kRoot)->get("EnableDirBrowsing"), Variant(false));
    EXPECT_EQ(ownProperties("/LM/W3SVC/2/ROOT"),
              (json{{"AccessFlags", {{"type", "number"}, {"value", 0x201}}},
                    {"DirBrowseFlags", {{"type", "number"}, {"value", 0}}}}));

    store(kRoot, "AccessWrite", true);
    EXPECT_EQ(bind(kRoot)->get("AccessFlags"), Variant(0x203));
    EXPECT_EQ(ownProperties("/LM/W3SVC/2/ROOT")["AccessFlags"]["value"], 0x203);
}

TEST_P(OlderFlags, ADocumentsBooleansBecomeBitsOfTheKeysDword) {
    struct Case {
        const char* properties;
        json expected;
    };
    const Case cases[] = {
        {R"({"AccessRead": true, "AccessScript": true, "AccessWrite": false})",
         {{"AccessFlags", 0x201}}},
        {R"({"EnableDefaultDoc": {"type": "boolean", "value": false}})", {{"DirBrowseFlags", 0}}},
        {R"({"EnableDirBrowsing": true, "EnableDefaultDoc": true, "AccessSource": true})",
         {{"DirBrowseFlags", 0xC0000000u}, {"AccessFlags", 0x10}}},
        // Given with its DWORD, a flag changes its bit in it.
        {R"({"AccessFlags": 5, "AccessExecute": false, "AccessWrite": true})",
         {{"AccessFlags", 3}}},
        {R"({"AccessFlags": {"type": "number", "value": 7}})", {{"AccessFlags", 7}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.properties);
        mb::loadDocument(*storage, {{"keys",
                                     {{{"path", "/LM/W3SVC"}, {"class", "IIsWebService"}},
                                      {{"path", "/LM/W3SVC/2"},
                                       {"class", "IIsWebServer"},
                                       {"properties", json::parse(c.properties)}}}}});
        json values = json::object();
        const auto own = ownProperties("/LM/W3SVC/2");
        for (const auto& [name, value] : own.items()) {
            values[name] = value["value"];
        }
        EXPECT_EQ(values, c.expected);
    }
    EXPECT_THROW(mb::loadDocument(*storage, json::parse(R"({"keys": [
        {"path": "/LM/W3SVC", "class": "IIsWebService", "properties": {"AccessRead": 1}}]})")),
                 platform::embedded::LoadError);
}

// What GetPropertyAttribObj says of a property on the root of site 2, whose
// site sets ServerComment and AccessFlags and whose web service sets
// AnonymousUserPass: each row is the key's own value or none (nullptr).
TEST_P(Inheritance, PropertyAttributesTellAnInheritedValueFromTheKeysOwn) {
    store(kService, "AnonymousUserPass", Variant("secret"));
    store(kSite, "ServerComment", Variant("site"));
    store(kSite, "AccessFlags", Variant(int32_t{513}));
    struct Case {
        const char* name;
        const char* own;  // the root's own value, or nullptr
        bool inherit, isInherit, secure;
    };
    const Case cases[] = {
        {"ServerComment", nullptr, true, true, false},
        {"ServerComment", "root", true, false, false},
        {"AccessScript", nullptr, true, true, false},  // a flag goes with its DWORD
        {"AnonymousUserPass", nullptr, true, true, true},
        {"ServerBindings", nullptr, false, false, false},
        {"AspScriptErrorMessage", nullptr, true, false, false},  // set nowhere
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name) + (c.own ? " own" : ""));
        if (c.own) store(kRoot, c.name, Variant(c.own));
        auto attributes = bind(kRoot)->call("GetPropertyAttribObj", {Variant(c.name)});
        auto& object = automation::objectOf(attributes);
        EXPECT_EQ(automation::toText(object.get("PropName")), c.name);
        EXPECT_EQ(automation::toBoolean(object.get("Inherit")), c.inherit);
        EXPECT_EQ(automation::toBoolean(object.get("IsInherit")), c.isInherit);
        EXPECT_EQ(automation::toBoolean(object.get("Secure")), c.secure);
    }
    EXPECT_EQ(errorOf([&] { bind(kRoot)->call("GetPropertyAttribObj", {Variant("Bogus")}); }),
              errors::kPropertyNotSupported);
}

INSTANTIATE_TEST_SUITE_P(Storage, Inheritance, ::testing::ValuesIn(kStorageKinds), storageName);
INSTANTIATE_TEST_SUITE_P(Storage, Flags, ::testing::ValuesIn(kStorageKinds), storageName);
INSTANTIATE_TEST_SUITE_P(Storage, OlderFlags, ::testing::ValuesIn(kStorageKinds), storageName);

}  // namespace
}  // namespace tarnwick::testing
