#include "component/site_paths.h"

#include <gtest/gtest.h>

namespace tarnwick::component {
namespace {

TEST(RemovableSiteFolder, AcceptsFoldersBelowADriveRoot) {
    for (const char* path : {"D:\\Web\\site", "d:/web/site/", "C:\\Inetpub\\a", "E:\\x",
                             "D:\\Windows Sites\\a", "D:\\Web\\WINDOWS"}) {
        EXPECT_TRUE(isRemovableSiteFolder(path)) << path;
    }
}

TEST(RemovableSiteFolder, RefusesRootsTheWindowsFolderAndOddPaths) {
    for (const char* path :
         {"", "D:", "D:\\", "D:/", "D:\\\\", "\\Web\\site", "Web\\site", "\\\\server\\share\\x",
          "C:\\WINDOWS", "c:\\windows\\system32", "C:\\WinNT", "D:\\Web\\..\\..", "D:\\.",
          "D:\\Web\\\\site", "1:\\x", "D:Web"}) {
        EXPECT_FALSE(isRemovableSiteFolder(path)) << path;
    }
}

}  // namespace
}  // namespace tarnwick::component
