// Reading WinNT paths.
#include "platform/embedded/accounts/winnt_path.h"

#include <gtest/gtest.h>

#include "account_fixture.h"
#include "platform/embedded/accounts/account_errors.h"

namespace tarnwick::testing {
namespace {

namespace codes = platform::embedded::account_errors;

WinNTTarget resolve(std::string_view path) {
    return resolveWinNTPath(path, "WEBSERVER", "WORKGROUP");
}

TEST(WinNTPaths, AcceptedForms) {
    struct Case {
        const char* path;
        const char* computer;
        const char* name;
        std::optional<AccountKind> kind;
    };
    for (const auto& c : {
             Case{"WinNT://WEBSERVER", "WEBSERVER", "", {}},
             Case{"winnt://webserver,Computer", "webserver", "", {}},
             Case{"WinNT://localhost/Tarn_bob,user", "localhost", "Tarn_bob", AccountKind::User},
             Case{"WinNT://./Guests, Group", ".", "Guests", AccountKind::Group},
             Case{"WinNT://WEBSERVER/Power Users", "WEBSERVER", "Power Users", {}},
             Case{"WinNT://workgroup/WebServer", "WebServer", "", {}},
             Case{"WinNT://WORKGROUP/WEBSERVER/Tarn_bob", "WEBSERVER", "Tarn_bob", {}},
             Case{"WinNT://WORKGROUP/WEBSERVER/Guest,USER", "WEBSERVER", "Guest",
                  AccountKind::User},
         }) {
        auto target = resolve(c.path);
        EXPECT_EQ(target.computer, c.computer) << c.path;
        EXPECT_EQ(target.name, c.name) << c.path;
        EXPECT_EQ(target.kind, c.kind) << c.path;
    }
}

TEST(WinNTPaths, Failures) {
    for (const char* path :
         {"WinNT:", "WinNT://", "IIS://WEBSERVER", "WinNT://WEBSERVER/", "WinNT://WEBSERVER//x",
          "WinNT://WEBSERVER/x,printer", "WinNT://WEBSERVER/x,user,user", "WinNT://WEBSERVER,user",
          "WinNT://WORKGROUP/WEBSERVER/a/b"}) {
        EXPECT_EQ(errorOf([&] { resolve(path); }), codes::kBadPathName) << path;
    }
    for (const char* path : {"WinNT://OTHER", "WinNT://OTHER/x,user", "WinNT://WORKGROUP",
                             "WinNT://OTHERGROUP/WEBSERVER/x", "WinNT://WORKGROUP/OTHER"}) {
        EXPECT_EQ(errorOf([&] { resolve(path); }), codes::kBadNetPath) << path;
    }
}

}  // namespace
}  // namespace tarnwick::testing
