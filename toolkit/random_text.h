// Random letters for account passwords.
//
// The alphabet has 26 characters: a c e g i k m o q s u w y and
// B D F H J L N P R T V X Z. Each character is drawn on its own from the
// operating system's cryptographic generator: a value x from 0 to 25 where
// 0 and 25 come with probability 1/50 and every other value with 1/25 (the
// distribution of rounding a uniform value times 25 to the nearest integer),
// giving the letter 97 + x when x is even and 65 + x when it is odd.
#pragma once

#include <string>

#include "automation/variant.h"
#include "platform/system.h"

namespace tarnwick::toolkit {

// The longest string RndStr makes; a longer request is an invalid argument
// (error 5) rather than an unbounded allocation on the server.
inline constexpr double kMaxRandomLength = 1 << 20;

// StrLen is used as a number: passes 1, 2, ... while the pass number does not
// exceed it, so 0 or less gives "" and 2.7 gives two characters. Raises the
// conversion's error for a value that is not a number.
std::string RndStr(platform::RandomSource& random, const automation::Variant& StrLen);

// The three fixed pieces of a generated password (3, 6 and 6 characters).
inline constexpr std::string_view kPasswordPiece1 = "#$K";     // two marks, one capital
inline constexpr std::string_view kPasswordPiece2 = "TWN!%@";  // three capitals, three marks
inline constexpr std::string_view kPasswordPiece3 = "=+-_R7";  // four marks, a capital, a digit

}  // namespace tarnwick::toolkit
