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
// True for a file name that Windows keeps for a device: CON, PRN, AUX, NUL,
// COM1 to COM9 and LPT1 to LPT9 in any letter case, alone or before a dot
// ("nul.txt"), with blanks before the dot or the end ignored. No file or
// folder has such a name; a path with one names the device.
bool isDeviceName(std::string_view name);

}  // namespace tarnwick::automation
