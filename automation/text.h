// Text helpers with the rules the platform uses for names: case-insensitive
// comparison of ASCII letters, blanks trimmed as automation trims them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarnwick::automation {

bool equalsIgnoreCase(std::string_view a, std::string_view b);
std::string toUpperAscii(std::string_view text);
std::string toLowerAscii(std::string_view text);
// Upper case as the script engine's UCase gives it: letters beyond ASCII too
// (Latin-1, Latin Extended-A, Greek, Cyrillic, full-width Latin); characters
// without case stay as they are.
std::string toUpperCase(std::string_view text);
// Removes leading and trailing blanks (spaces only, as Trim does).
std::string_view trimBlanks(std::string_view text);
// Splits at every occurrence of `separator`; "" gives one empty element.
std::vector<std::string> split(std::string_view text, std::string_view separator);
// Replaces every occurrence of `from` with `to`, scanning left to right; an
// empty `from` leaves the text unchanged.
std::string replaceAll(std::string_view text, std::string_view from, std::string_view to);

}  // namespace tarnwick::automation
