// The alert page through which the component reports a failure to the
// browser: one script element that shows the message with the product banner
// and goes back one page.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tarnwick::component {

// Escapes `message` for a single-quoted string inside a script element:
// quotes, backslashes, "<", ">", control characters and the two JavaScript
// line terminators U+2028/U+2029 are escaped, so no message can end the
// string or the element. The two characters backslash and n stay as they are:
// the system's messages use them for line breaks in the alert. A real line
// break in a message becomes \n and so shows as a line break too.
std::string escapeAlertText(std::string_view message);

// The whole page for `message` (not empty).
std::string errorPage(std::string_view message);

// The message an error page shows, as the alert box shows it (the pairs
// backslash-n as line breaks); nullopt when `page` is not an error page.
std::optional<std::string> errorPageMessage(std::string_view page);

}  // namespace tarnwick::component
