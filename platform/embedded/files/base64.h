// Base64 (RFC 4648, with padding) for file contents in state documents.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tarnwick::platform::embedded::files {

std::string base64Encode(std::string_view bytes);
// nullopt for text that is not base64 (ASCII whitespace is skipped).
std::optional<std::string> base64Decode(std::string_view text);

}  // namespace tarnwick::platform::embedded::files
