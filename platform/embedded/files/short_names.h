// The 8.3 aliases that NTFS gives names on Windows 2000 and 2003, where short
// name generation is on by default: every file or folder whose name is not a
// valid 8.3 name also answers to an alias such as "PROGRA~1" for
// "Program Files" or "DOCUME~1" for "Documents and Settings".
//
// An alias is made when its entry is made, from the folder's names at that
// moment: the name without blanks, the characters 8.3 names lack and every
// dot but the last, its first six characters in upper case, "~" and the
// lowest number that no other name or alias of the folder takes, then the
// first three characters of the extension.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarnwick::platform::embedded::files {

// True for a name that is a valid 8.3 name and so needs no alias: one to
// eight characters, at most one dot followed by one to three characters,
// no blank and only the characters 8.3 names allow (letter case aside).
bool isShortName(std::string_view name);

// The alias of `name` with collision number `number` (1 for "~1").
std::string shortNameCandidate(std::string_view name, int number);

// The aliases of a folder's names given in the order their entries were
// made: "" for a name that needs none.
std::vector<std::string> shortNamesOf(const std::vector<std::string>& namesInOrderMade);

}  // namespace tarnwick::platform::embedded::files
