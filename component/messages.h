// The texts that the component shows in its error page, each named once.
#pragma once

#include <string_view>

namespace tarnwick::component::messages {

// Site creation, modification and deletion.
inline constexpr std::string_view kArgumentError = "参数出错,请检查!";
inline constexpr std::string_view kCannotLoadW3svc = "无法加载W3SVC服务!";
inline constexpr std::string_view kDomainTaken = "你所要绑定的域名已存在,请改换其他域名!";
inline constexpr std::string_view kNoSiteNumber = "无法分配新的站点编号,请检查 IIS 配置!";
inline constexpr std::string_view kAccountNotCreated = "创建NT帐号失败!";
inline constexpr std::string_view kAccountNotInGroup = "设置NT帐号属性失败!";
inline constexpr std::string_view kPermissionsNotSet = "网站安全设置权限设置出错!";
inline constexpr std::string_view kRootNotCreated = "主目录创建时出错!";
inline constexpr std::string_view kMissingArguments = "缺少基本参数,修改失败!";
inline constexpr std::string_view kCannotReachIis = "链接 IIS 出错!";
inline constexpr std::string_view kCannotSaveSite = "保存主机 IIS 信息时出错!";
inline constexpr std::string_view kNoSuchSite = "站点不存在哦!";
inline constexpr std::string_view kCannotReadSite = "获取站点信息失败!";
inline constexpr std::string_view kCannotDeleteSite = "站点删除失败";

// Site status. "\n" is the pair backslash-n that the error page shows as a line break.
inline constexpr std::string_view kCannotComplete = "无法完成指定操作.\\n\\n错误码: ";
inline constexpr std::string_view kCannotStart = "无法启动站点!";
inline constexpr std::string_view kCannotStop = "无法停止站点!";

// Panel login session.
inline constexpr std::string_view kLoginArgumentError = "参数出错!";

}  // namespace tarnwick::component::messages
