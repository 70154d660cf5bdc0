// UTF-8, the system's text inside the core: one character decoded or
// appended at a time.
#pragma once

#include <string>
#include <string_view>

namespace tarnwick::automation::utf8 {

inline constexpr char32_t kReplacement = 0xFFFD;

// Decodes the character at `at` and moves `at` past it. An invalid sequence
// (a stray or missing continuation byte, an overlong form, a surrogate, a
// value beyond U+10FFFF) gives U+FFFD, consumes one byte and clears `valid`.
char32_t decode(std::string_view text, size_t& at, bool& valid);

// Appends the UTF-8 form of one code point.
void append(std::string& out, char32_t c);

}  // namespace tarnwick::automation::utf8
