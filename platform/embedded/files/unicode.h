// UTF-8 checks and UTF-16 conversion for text files written in Unicode and
// for deciding how a file's bytes are shown in a state dump.
#pragma once

#include <string>
#include <string_view>

namespace tarnwick::platform::embedded::files {

bool isValidUtf8(std::string_view text);
// Valid UTF-8 without control characters other than tab, CR and LF.
bool isPrintableUtf8(std::string_view text);
// UTF-8 to UTF-16 little-endian bytes; an invalid sequence becomes U+FFFD.
std::string utf8ToUtf16le(std::string_view text);
// UTF-16 little-endian bytes to UTF-8; an unpaired surrogate or an odd last
// byte becomes U+FFFD.
std::string utf16leToUtf8(std::string_view bytes);
// The number of characters (code points) in UTF-8 text, and the byte offset
// of the character `count` places after `from`.
size_t utf8Length(std::string_view text);
size_t utf8Advance(std::string_view text, size_t from, size_t count);

}  // namespace tarnwick::platform::embedded::files
