// The product's own identity as it appears in the error page banner and in
// the script error text of hosted sites. The web address is under the
// reserved .example domain until the product has a public site of its own.
#pragma once

#include <string_view>

namespace tarnwick::component::product {

inline constexpr std::string_view kNameAndVersion = "Tarnwick 主机控制面板 2.01";
inline constexpr std::string_view kWebAddress = "http://www.tarnwick.example/";
inline constexpr std::string_view kWebDomain = "www.tarnwick.example";

}  // namespace tarnwick::component::product
