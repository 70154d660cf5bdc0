// The web sites of the metabase as the installer sees them: the root
// folders that the master control site's folder must keep apart from, and
// whether the site the install log names is still the master control site.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/directory.h"

namespace tarnwick::installer {

// The root folders of the web sites of `computer`'s metabase, the default web
// site's included, but for the site numbered `except` ("" excepts none). A
// site without a root has none. Nullopt when the metabase cannot be read: the
// folders of the sites are then unknown.
std::optional<std::vector<std::string>> siteRootFolders(platform::Directory& directory,
                                                        std::string_view computer,
                                                        std::string_view except = {});

// What the site of an install log is now.
enum class LoggedSite {
    Missing,     // no key of that number
    Panel,       // still the master control site of the log
    Other,       // another site, or a key that is no web site
    Unreadable,  // the metabase cannot tell
};

// The site numbered `number` is still the master control site when it is a
// web site whose comment and every binding name `domain` (letter case
// ignored) and whose root folder lies in `folder`. A value the site does not
// hold (an installation whose write failed) speaks neither for nor against it.
LoggedSite inspectLoggedSite(platform::Directory& directory, std::string_view computer,
                             std::string_view number, std::string_view domain,
                             std::string_view folder);

}  // namespace tarnwick::installer
