// The ASP Server object of the embedded page: Server.MapPath maps full
// virtual paths from the site root and other paths from the page's folder,
// and refuses the characters ASP refuses; Server.CreateObject of an unknown
// ProgID fails as ASP 0177 with the COM error.
#include <gtest/gtest.h>

#include "automation/error.h"
#include "platform/embedded/asp_page.h"
#include "platform/embedded/store.h"

namespace tarnwick::platform::embedded {
namespace {

std::shared_ptr<EmbeddedPage> pageAt(const std::string& pagePath) {
    PageRequest request;
    request.siteRoot = "C:\\Inetpub\\wwwroot\\";
    request.pagePath = pagePath;
    return std::make_shared<EmbeddedPage>(Store::inMemory(), request);
}

int32_t errorOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const automation::AutomationError& error) {
        return error.number();
    }
    return 0;
}

TEST(ServerMapPath, MapsFullPathsFromTheRootAndOthersFromThePagesFolder) {
    struct Case {
        const char* page;
        const char* path;
        const char* physical;
    };
    const Case cases[] = {
        {"/Script/test.asp", "test.asp", "C:\\Inetpub\\wwwroot\\Script\\test.asp"},
        {"/Script/test.asp", "script/test.asp", "C:\\Inetpub\\wwwroot\\Script\\script\\test.asp"},
        {"/Script/test.asp", "/script/test.asp", "C:\\Inetpub\\wwwroot\\script\\test.asp"},
        {"/Script/test.asp", "\\script", "C:\\Inetpub\\wwwroot\\script"},
        {"/Script/test.asp", "/", "C:\\Inetpub\\wwwroot"},
        {"/Script/test.asp", "\\", "C:\\Inetpub\\wwwroot"},
        {"/Script/test.asp", "", "C:\\Inetpub\\wwwroot\\Script"},
        {"/Script/test.asp", "../data.txt", "C:\\Inetpub\\wwwroot\\data.txt"},
        {"/default.asp", "Template/Index.htm", "C:\\Inetpub\\wwwroot\\Template\\Index.htm"},
        {"/default.asp", "/Template/Other", "C:\\Inetpub\\wwwroot\\Template\\Other"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(pageAt(c.page)->server()->mapPath(c.path), c.physical)
            << c.page << " maps " << c.path;
    }
}

TEST(ServerMapPath, RefusesTheCharactersAspRefuses) {
    constexpr int32_t kAspFailure = static_cast<int32_t>(0x80004005u);
    auto page = pageAt("/Script/test.asp");
    for (const char* path : {"a*.htm", "a?.htm", "<x>", "a,b", "C:\\x", "a;b", "it's", "\"q\"",
                             "a]", "//server", "a\\\\b", "../../up"}) {
        EXPECT_EQ(errorOf([&] { page->server()->mapPath(path); }), kAspFailure) << path;
    }
}

TEST(ServerCreateObject, AnUnknownProgIdFailsWithInvalidClassString) {
    auto page = pageAt("/default.asp");
    EXPECT_EQ(errorOf([&] { page->server()->createObject("No.Such.Thing"); }),
              static_cast<int32_t>(0x800401F3u));
}

}  // namespace
}  // namespace tarnwick::platform::embedded
