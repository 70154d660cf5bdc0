// Bytes as upper-case hexadecimal, two digits each, for security descriptors
// in state documents.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/embedded/files/security_descriptor.h"

namespace tarnwick::platform::embedded::files {

std::string toHex(ByteView bytes);
// Either case; nullopt for an odd length or a character that is no digit.
std::optional<Bytes> fromHex(std::string_view text);

}  // namespace tarnwick::platform::embedded::files
