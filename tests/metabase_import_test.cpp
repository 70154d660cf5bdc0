// `tarnwick platform import --metabase FILE`: the values a MetaBase.xml gives,
// the files it refuses, and the commands that run on the imported platform.
#include "cli/metabase_import.h"

#include <gtest/gtest.h>

#include <fstream>

#include "platform/embedded/metabase/property_value.h"
#include "support/cli.h"

namespace tarnwick::testing {
namespace {

using nlohmann::json;

// A MetaBase.xml as an IIS 6 server writes it: tab-indented attributes, one
// list entry per line, the machine's other keys around the web service.
constexpr const char* kServer = R"(<?xml version ="1.0"?>
<configuration xmlns="urn:microsoft-catalog:XML_Metabase_V64_0">
<MBProperty>
<IIS_Global	Location ="."
		SessionKey="4963446270000000a4000000"
	>
</IIS_Global>
<IIsComputer	Location ="/LM"
		EnableEditWhileRunning="0"
	>
</IIsComputer>
<IIsWebService	Location ="/LM/W3SVC"
		AnonymousUserName="IUSR_WEB01"
		AnonymousUserPass="49634462700000002400000031"
		AuthFlags="AuthAnonymous | AuthNTLM"
	>
</IIsWebService>
<IIsApplicationPools	Location ="/LM/W3SVC/AppPools"
	>
</IIsApplicationPools>
<IIsApplicationPool	Location ="/LM/W3SVC/AppPools/Tarn_amy"
	>
</IIsApplicationPool>
<IIsWebServer	Location ="/LM/W3SVC/1"
		ServerBindings=":80:"
		ServerComment="Default Web Site"
	>
</IIsWebServer>
<IIsWebVirtualDir	Location ="/LM/W3SVC/1/ROOT"
		AnonymousUserName="CORP\webguest"
		AppRoot="/LM/W3SVC/1/ROOT"
		Path="C:\Inetpub\wwwroot"
	>
</IIsWebVirtualDir>
<IIsWebServer	Location ="/LM/W3SVC/3"
		ServerAutoStart="TRUE"
		AnonymousUserName="WEB01\Tarn_amy"
		AnonymousUserPass="4963446270000000240000007f"
		ServerBindings=":80:amy.com
			:80:www.amy.com"
		ServerComment="amy.com"
	>
</IIsWebServer>
<IIsWebVirtualDir	Location ="/LM/W3SVC/3/ROOT"
		AppPoolId="Tarn_amy"
		Path="D:\Web\amy"
	>
</IIsWebVirtualDir>
<IIsWebServer	Location ="/LM/W3SVC/4"
		ServerAutoStart="FALSE"
		ServerBindings=":80:old.net"
		ServerComment="old.net"
	>
</IIsWebServer>
<IIsWebVirtualDir	Location ="/LM/W3SVC/4/ROOT"
		AnonymousUserName="Tarn_old"
		Path="E:\Old\old.net"
	>
</IIsWebVirtualDir>
<IIsFtpService	Location ="/LM/MSFTPSVC"
	>
</IIsFtpService>
</MBProperty>
<MBSchema>
</MBSchema>
</configuration>
)";

// A file of the web service and one site whose attributes are `attributes`
// (and whose <Custom> elements are `customs`).
std::string siteFile(const std::string& attributes, const std::string& customs = "") {
    return "<?xml version =\"1.0\"?>\n<configuration>\n<MBProperty>\n"
           "<IIsWebService\tLocation =\"/LM/W3SVC\"\n\t\tAnonymousUserName=\"IUSR_WEB01\"\n\t>\n"
           "</IIsWebService>\n<IIsWebServer\tLocation =\"/LM/W3SVC/2\"\n\t\t" +
           attributes + "\n\t>\n" + customs + "</IIsWebServer>\n</MBProperty>\n</configuration>\n";
}

json siteKey(const std::string& attributes, const std::string& customs = "") {
    auto read = cli::readMetabase(siteFile(attributes, customs), "MetaBase.xml");
    return read.keys.at(1);
}

TEST(MetabaseImportValues, AttributeTextsImportAsTheirTypedValues) {
    auto secret = [](const std::string& text) {
        return json{{"type", "secret"}, {"sha256", platform::metabase::secretDigest(text)}};
    };
    auto typed = [](const char* type, json value) {
        return json{{"type", type}, {"value", std::move(value)}};
    };
    struct Case {
        std::string attributes, customs;
        json properties;  // the key's properties expected among them
    };
    const Case cases[] = {
        {"MaxConnections=\"4294967295\"", "", {{"MaxConnections", typed("number", 4294967295u)}}},
        {"AccessFlags=\"AccessRead | AccessScript\"", "", {{"AccessFlags", typed("number", 513)}}},
        {"AccessFlags=\"AccessRead|512\"", "", {{"AccessFlags", typed("number", 513)}}},
        {"DirBrowseFlags=\"EnableDefaultDoc\"",
         "",
         {{"DirBrowseFlags", typed("number", 0x40000000)}}},
        {"ServerAutoStart=\"FALSE\"", "", {{"ServerAutoStart", typed("boolean", false)}}},
        {"AspEnableParentPaths=\"TRUE\"", "", {{"AspEnableParentPaths", typed("boolean", true)}}},
        // Lines written as they are, CR LF or a reference, each one an entry.
        {"ServerBindings=\":80:a.com\r\n\t\t\t:80:www.a.com\n\n\t\t\t10.0.0.1:81:\"",
         "",
         {{"ServerBindings", typed("list", {":80:a.com", ":80:www.a.com", "10.0.0.1:81:"})}}},
        {"ServerBindings=\":80:a.com&#xA;:80:www.a.com&#xD;&#xA;:8080:\"",
         "",
         {{"ServerBindings", typed("list", {":80:a.com", ":80:www.a.com", ":8080:"})}}},
        {"ServerBindings=\"\"", "", {{"ServerBindings", typed("list", json::array())}}},
        {"ServerComment=\"a &amp; b &lt;c&gt; &#x4E2D;&#25991;\"",
         "",
         {{"ServerComment", typed("string", "a & b <c> 中文")}}},
        {"AnonymousUserPass=\"4963446270000000\"",
         "",
         {{"AnonymousUserPass", secret("4963446270000000")}}},
        {"AdminACL=\"49634462f0000000\"", "", {{"AdminACL", secret("49634462f0000000")}}},
        {"AuthFlags=\"AuthBasic | AuthMD5\"",
         "",
         {{"AuthAnonymous", typed("boolean", false)},
          {"AuthBasic", typed("boolean", true)},
          {"AuthNTLM", typed("boolean", false)}}},
        // Unknown to the schema: kept as written, a <Custom> one by its Type.
        {"AspAllowSessionState=\"TRUE\"", "", {{"AspAllowSessionState", typed("string", "TRUE")}}},
        {"ServerComment=\"x\"",
         "<Custom\n\tName=\"Limit\"\n\tID=\"50001\"\n\tValue=\"42\"\n\tType=\"DWORD\"\n/>\n"
         "<Custom Name=\"Hosts\" ID=\"50002\" Value=\"a&#xA;b\" Type=\"MULTISZ\"/>\n"
         "<Custom Name=\"Token\" ID=\"50003\" Value=\"ab12\" Type=\"STRING\" "
         "Attributes=\"INHERIT|SECURE\"/>\n",
         {{"Limit", typed("number", 42)},
          {"Hosts", typed("list", {"a", "b"})},
          {"Token", secret("ab12")}}},
    };
    for (const auto& c : cases) {
        auto key = siteKey(c.attributes, c.customs);
        for (const auto& [name, value] : c.properties.items()) {
            EXPECT_EQ(key["properties"][name], value) << c.attributes << " " << name;
        }
    }
    EXPECT_EQ(siteKey("ServerAutoStart=\"FALSE\"")["state"], 4);
    EXPECT_EQ(siteKey("ServerComment=\"x\"")["state"], 2);
}

TEST(MetabaseImportValues, BrokenFilesAreRefusedWithTheirLine) {
    const std::string start = "<?xml version =\"1.0\"?>\n<configuration>\n<MBProperty>\n";
    const std::string service =
        "<IIsWebService Location=\"/LM/W3SVC\" AnonymousUserName=\"IUSR_W\">\n</IIsWebService>\n";
    const std::string end = "</MBProperty>\n</configuration>\n";
    struct Case {
        std::string file, message;
    };
    const Case cases[] = {
        {"just text", "line 1: not well-formed XML: syntax error"},
        {start + service + "<IIsWebServer Location=\"/LM/W3SVC/1\">\n",
         "line 7: not well-formed XML: no element found"},
        {"<?xml version=\"1.0\"?>\n<settings/>\n",
         "line 2: the root element is <settings>, not <configuration>"},
        {"<!DOCTYPE configuration [<!ENTITY a \"b\">]>\n<configuration/>\n",
         "line 1: a document type declaration is not allowed"},
        {start + service + "<IIsWebServer Location=\"/LM/W3SVC/1\"/>\n" +
             "<IIsWebServer Location=\"/lm/w3svc/1/\"/>\n" + end,
         "line 7: the Location /lm/w3svc/1/ is named twice (first on line 6)"},
        {start + service + "<IIsWebVirtualDir Location=\"/LM/W3SVC/1\"/>\n" + end,
         "line 6: a IIsWebService cannot hold the IIsWebVirtualDir /LM/W3SVC/1"},
        {start + service + "<IIsWebVirtualDir Location=\"/LM/W3SVC/1/ROOT\"/>\n" + end,
         "line 6: the parent /LM/W3SVC/1 of /LM/W3SVC/1/ROOT is not in the file"},
        {start + service + "<IIsWebServer Location=\"/LM/W3SVC/1\"\n\tMaxConnections=\"-1\"/>\n" +
             end,
         "line 7: MaxConnections is a number from 0 to 4294967295, not \"-1\""},
        {start + service + "<IIsWebServer Location=\"/LM/W3SVC/1\"\n\tServerAutoStart=\"yes\"/>\n" +
             end,
         "line 7: ServerAutoStart is TRUE or FALSE, not \"yes\""},
        {start + service +
             "<IIsWebServer Location=\"/LM/W3SVC/1\"\n\n\tAccessFlags=\"AccessRead | Run\"/>\n" +
             end,
         "line 8: AccessFlags: \"Run\" is not one of its flags or a number"},
        {start + "<IIsWebServer Location=\"/LM/W3SVC/1\"/>\n" + end,
         "line 4: the parent /LM/W3SVC of /LM/W3SVC/1 is not in the file"},
        {start + end, "line 1: the file holds no web service key (/LM/W3SVC)"},
    };
    for (const auto& c : cases) {
        try {
            cli::readMetabase(c.file, "MetaBase.xml");
            ADD_FAILURE() << "imported: " << c.file;
        } catch (const cli::ImportError& error) {
            EXPECT_EQ(error.what(), "MetaBase.xml " + c.message) << c.file;
        }
    }
}

class MetabaseImport : public CliFixture {
protected:
    std::filesystem::path file;

    void SetUp() override {
        CliFixture::SetUp();
        file = state.string() + ".xml";
        write(kServer);
    }
    void TearDown() override {
        std::filesystem::remove(file);
        std::filesystem::remove(state.string() + ".csv");
        CliFixture::TearDown();
    }
    void write(const std::string& content) { std::ofstream(file, std::ios::binary) << content; }
    ProcessResult import(std::vector<std::string> more = {}) {
        std::vector<std::string> args = {"platform", "import", "--metabase", file.string()};
        args.insert(args.end(), more.begin(), more.end());
        return tarnwick(args);
    }
    std::string dump() { return tarnwick({"platform", "dump"}).out; }
};

TEST_F(MetabaseImport, MakesThePlatformAndReportsWhatItLeftOut) {
    auto result = import({"--json"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    auto report = json::parse(result.out);
    EXPECT_EQ(report["computer"], "WEB01");
    EXPECT_EQ(report["sites"], 3);
    EXPECT_EQ(report["applicationPools"], 1);
    EXPECT_EQ(report["accounts"], (json{"Tarn_amy", "Tarn_old"}));
    EXPECT_EQ(report["folders"], (json{"D:\\Web", "D:\\Web\\amy", "E:\\Old", "E:\\Old\\old.net"}));
    EXPECT_EQ(report["keysLeftOut"],
              (json{{{"reason", "<MBSchema> section"}, {"count", 1}},
                    {{"reason", "outside /LM/W3SVC: IIS_Global"}, {"count", 1}},
                    {{"reason", "outside /LM/W3SVC: IIsComputer"}, {"count", 1}},
                    {{"reason", "outside /LM/W3SVC: IIsFtpService"}, {"count", 1}}}));
    EXPECT_EQ(report["attributesLeftOut"],
              (json{{{"reason", "AnonymousUserName: a domain account, not made"}, {"count", 1}}}));

    auto platformState = json::parse(dump());
    EXPECT_EQ(platformState["settings"]["drives"], "CDE");
    EXPECT_EQ(platformState["settings"]["master_site_root"], "C:\\Inetpub\\wwwroot");
    // The secrets show their digest only; a dump loads back as it was.
    EXPECT_EQ(platformState.dump().find("4963446270000000240000007f"), std::string::npos);
    auto loaded = tarnwick({"platform", "load"}, platformState.dump());
    ASSERT_EQ(loaded.exitCode, 0) << loaded.err;
    EXPECT_EQ(json::parse(dump()), platformState);

    // Listed and shown as the commands list any site; a stopped one stays stopped.
    auto list = json::parse(tarnwick({"site", "list", "--json"}).out);
    ASSERT_EQ(list["sites"].size(), 3u);
    EXPECT_EQ(list["sites"][2]["number"], 4);
    EXPECT_EQ(list["sites"][2]["state"], "stopped");
    auto show = tarnwick({"site", "show", "3"});
    EXPECT_NE(show.out.find(":80:amy.com :80:www.amy.com"), std::string::npos) << show.out;

    // Another import does not replace it without --force.
    auto again = import();
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_NE(again.err.find("use --force"), std::string::npos) << again.err;
}

TEST_F(MetabaseImport, ABrokenFileLeavesTheStateAsItWas) {
    ASSERT_EQ(import().exitCode, 0);
    auto before = dump();
    write(siteFile("MaxConnections=\"many\""));
    auto result = import({"--force"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "tarnwick: " + file.string() +
                              " line 9: MaxConnections is a number from 0 to 4294967295, not "
                              "\"many\"\n");
    EXPECT_EQ(dump(), before);
}

TEST_F(MetabaseImport, RehearsesABulkCreateAndADeletionOnTheServersCopy) {
    ASSERT_EQ(import().exitCode, 0);
    // Nothing of the server's copy is unaccounted for: site 4's root names Tarn_old.
    auto check = tarnwick({"check"});
    EXPECT_EQ(check.exitCode, 0) << check.out << check.err;
    auto before = state.string() + ".before.json";
    std::ofstream(before) << dump();

    // New sites take the lowest free numbers; an imported host name is taken.
    std::ofstream(state.string() + ".csv")
        << "user,path,domain\nbob,D:\\Web\\bob,bob.com\ncat,D:\\Web\\cat,www.amy.com\n"
           "dan,D:\\Web\\dan,dan.com\n";
    auto bulk = tarnwick({"site", "create", "--from", state.string() + ".csv"});
    EXPECT_EQ(bulk.exitCode, 1);
    EXPECT_NE(bulk.out.find("Created site 2 for bob.com"), std::string::npos) << bulk.out;
    EXPECT_NE(bulk.out.find("你所要绑定的域名已存在"), std::string::npos) << bulk.out;
    EXPECT_NE(bulk.out.find("Created site 5 for dan.com"), std::string::npos) << bulk.out;

    // An imported site goes with its account and folder.
    auto remove = tarnwick({"site", "delete", "3", "--path", "D:\\Web\\amy"});
    EXPECT_EQ(remove.exitCode, 0) << remove.err;

    auto diff = tarnwick({"platform", "diff", before, "-"}, dump());
    std::filesystem::remove(before);
    EXPECT_EQ(diff.exitCode, 1) << diff.err;
    for (const char* line : {"+ key /LM/W3SVC/2\n", "+ key /LM/W3SVC/5\n", "- key /LM/W3SVC/3\n",
                             "+ key /LM/W3SVC/2 AnonymousUserPass = (secret)", "- user Tarn_amy\n",
                             "+ user Tarn_bob\n", "- folder D:\\Web\\amy\n"}) {
        EXPECT_NE(diff.out.find(line), std::string::npos) << line << "\n" << diff.out;
    }
    EXPECT_EQ(diff.out.find("/LM/W3SVC/4"), std::string::npos) << diff.out;
}

}  // namespace
}  // namespace tarnwick::testing
