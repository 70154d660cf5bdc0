// Which folders a site operation may remove.
#pragma once

#include <string_view>

namespace tarnwick::component {

// True for an absolute path of a folder below a drive root ("D:\Web\site",
// "/" and "\" alike) that is not the Windows folder (WINDOWS or WINNT on any
// drive) nor inside it. Drive roots, relative paths, UNC paths, paths with
// "." or ".." elements, wildcards or stream names are refused: deleting them
// would remove far more than one site's folder. Names are judged as the file
// system resolves them, without their trailing blanks and dots
// ("C:\WINDOWS." is the Windows folder).
bool isRemovableSiteFolder(std::string_view path);

}  // namespace tarnwick::component
