// The folder guard of hosted sites: which paths may be a site's folder, and
// which names may stand for a file inside it.
#include "toolkit/site_folders.h"

#include <gtest/gtest.h>

namespace tarnwick::toolkit {
namespace {

const std::vector<std::string> kProtected = {
    "C:\\Inetpub\\wwwroot",  // the master control site
    "C:\\Setup",             // the installer
    "D:\\Web\\alice",        // another site's root
    "D:\\Web\\carol\\",      // written with a trailing separator
    "not a folder",          // skipped
};

struct FolderCase {
    std::string path;
    bool allowed;
    const char* why;
};

std::string repeated(std::string_view text, int times) {
    std::string result;
    for (int i = 0; i < times; ++i) result += text;
    return result;
}

TEST(SiteFolderGuard, DecidesEveryKindOfPath) {
    const FolderCase cases[] = {
        {"D:\\Web\\bob", true, "a folder of its own"},
        {"d:/web/bob/", true, "slashes and a trailing separator"},
        {"D:\\Web\\alicia", true, "a name that begins like another site's"},
        {"D:\\Windows Sites\\a", true, "not the Windows folder"},
        {"D:\\Web\\WINDOWS", true, "a folder called WINDOWS below a folder"},
        {"E:\\x", true, "another drive"},
        {"", false, "empty"},
        {"D:", false, "drive without root"},
        {"D:\\", false, "drive root"},
        {"D:/", false, "drive root with a slash"},
        {"\\Web\\site", false, "no drive"},
        {"Web\\site", false, "relative"},
        {"D:Web", false, "relative to the drive's current folder"},
        {"\\\\server\\share\\x", false, "UNC path"},
        {"1:\\x", false, "no drive letter"},
        {"D:\\Web\\..\\..", false, "climbs"},
        {"D:\\.", false, "the root again"},
        {"D:\\Web\\\\site", false, "empty element"},
        {"D:\\Web\\*", false, "wildcard"},
        {"D:\\Web\\a?c", false, "wildcard"},
        {"D:\\Web\\bob:stream", false, "stream name"},
        {"C:\\WINDOWS", false, "the Windows folder"},
        {"c:\\windows\\system32", false, "inside the Windows folder"},
        {"C:\\WINDOWS.", false, "the Windows folder with a trailing dot"},
        {"C:\\WinNT", false, "the Windows 2000 folder"},
        {"C:\\Program Files", false, "Program Files"},
        {"C:\\PROGRAM FILES\\Serv-U", false, "inside Program Files"},
        {"D:\\Program Files (x86)\\x", false, "Program Files (x86)"},
        {"C:\\Inetpub\\wwwroot", false, "the master control site"},
        {"c:\\inetpub\\WWWROOT\\", false, "the master control site in other letter case"},
        {"C:\\Inetpub\\wwwroot\\Template", false, "inside the master control site"},
        {"C:\\Inetpub", false, "contains the master control site"},
        {"C:\\Setup", false, "the installer's folder"},
        {"C:\\Setup\\Web", false, "inside the installer's folder"},
        {"D:\\Web", false, "contains other sites"},
        {"D:\\Web\\alice", false, "another site's folder"},
        {"D:\\Web\\alice\\images", false, "inside another site's folder"},
        {"D:\\Web\\carol", false, "another site's folder written with a separator"},
        {"C:\\System Volume Information", false, "the volume's own folder"},
        {"D:\\RECYCLER\\S-1-5-21", false, "inside the recycle bin"},
        {"D:\\Web\\CON", false, "a device"},
        {"D:\\Web\\nul.txt", false, "a device with an extension"},
        {"D:\\Web\\LPT1\\x", false, "below a device"},
        {"D:\\Web\\com9 .htm", false, "a device with blanks before the extension"},
        {"D:\\Web\\CONSOLE", true, "a name that begins like a device"},
        {"D:\\RECYCLER2", true, "a name that begins like the recycle bin"},
        {"D:\\Web\\Documents and Settings of amy", true, "words of a system folder"},
        {"D:\\" + std::string(244, 'a'), true, "the longest folder path CreateDirectory takes"},
        {"D:\\" + std::string(245, 'a'), false, "a folder path over 247 characters"},
        {"D:\\" + std::string(235, 'a') + "\\" + std::string(8, 'b'), true, "long, in two levels"},
        {"D:\\Web\\" + std::string(256, 'a'), false, "a name over 255 characters"},
        {"D:\\" + repeated("中", 200), true, "counted in characters, not bytes"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(mayHoldSite(c.path, kProtected), c.allowed) << c.path << " (" << c.why << ")";
    }
}

TEST(SiteFolderGuard, AProtectedDriveRootProtectsTheWholeDrive) {
    EXPECT_FALSE(mayHoldSite("E:\\sites\\bob", {"E:\\"}));
    EXPECT_TRUE(mayHoldSite("D:\\sites\\bob", {"E:\\"}));
}

TEST(PlainFileName, AcceptsNamesAndRefusesPaths) {
    for (const char* name : {"index.htm", "Default.asp", "a b.html", ".htaccess", "x."}) {
        EXPECT_TRUE(isPlainFileName(name)) << name;
    }
    for (const char* name :
         {"", "..", ".", "...", " . ", "..\\alice\\default.asp", "a/b.htm", "sub\\x.htm", "C:x.htm",
          "a:b", "*.htm", "a?.htm", "a\tb", "CON", "con.asp", "COM1", "LPT1.txt", "nul .htm"}) {
        EXPECT_FALSE(isPlainFileName(name)) << name;
    }
}

}  // namespace
}  // namespace tarnwick::toolkit
