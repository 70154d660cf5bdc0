// The texts that the component shows in its error page, each named once.
#pragma once

#include <string_view>

namespace tarnwick::component::messages {

// Panel login session.
inline constexpr std::string_view kLoginArgumentError = "参数出错!";

}  // namespace tarnwick::component::messages
