// The hook every provider call passes first, with the member's name and the
// object's path: the embedded platform's fault injection plugs in here, so a
// test can make any call fail with a chosen error number. Raises to fail the
// call; an empty hook lets every call through.
#pragma once

#include <functional>
#include <string_view>

namespace tarnwick::platform::embedded {

using CallCheck = std::function<void(std::string_view member, std::string_view path)>;

}  // namespace tarnwick::platform::embedded
