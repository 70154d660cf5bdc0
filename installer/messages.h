// Every text the installer shows: window captions and labels, help messages,
// status messages and message boxes.
#pragma once

#include <string_view>

namespace tarnwick::installer::messages {

// The window.
inline constexpr std::string_view kWindowCaption = "Quorvel安装程序";
inline constexpr std::string_view kChooseFolderPrompt = "请选择正确目录";
inline constexpr std::string_view kFolderPickerTitle = "请选择文件夹";
// Label6: one line within the label's 3015 twips.
inline constexpr std::string_view kMakerNotice = "主页: www.tarnwick.example";
inline constexpr std::string_view kMakerAddress = "http://www.tarnwick.example/";

// Help labels.
inline constexpr std::string_view kDomainHelp =
    "请输入正确的域名,注意:域名长度不可以大于14位,否则系统无法创建管理员帐号!";
inline constexpr std::string_view kFolderHelp = "如果不存在,系统将创建!";
inline constexpr std::string_view kPoolHelp =
    "如果是 2003 系统请填写些信息,如果是 2000 系统请不要填写,不然无法正常安装!";
inline constexpr std::string_view kServUHelp = "请指定 SERV-U 的安装目录!";
inline constexpr std::string_view kDatabaseHelp = "请自定义系统将要使用的数据库名称,以防非法下载!";
inline constexpr std::string_view kDataSourceHelp = "请自定义一个数据源名,以防被猜测到!";

// Checks of the install button.
inline constexpr std::string_view kFillInAgain = "请 从 新 填 写 参 数!!";
inline constexpr std::string_view kChooseServU = "请指定 SERVU 的安装目录!";
inline constexpr std::string_view kDomainTooLong = "对不起,你绑定的域名太长了!";
inline constexpr std::string_view kDomainInvalid = "你输入的域名不是合法域名!";
// The domain names the administrator account, which the system keeps in its
// ANSI code page.
inline constexpr std::string_view kDomainOutsideCodePage =
    "对不起,绑定域名中含有本系统代码页不支持的字符!";
// The install log separates its fields with ";", so no logged value may hold one.
inline constexpr std::string_view kNoSemicolons =
    "对不起,绑定域名、安装目录和数据源名中不可以含有分号(;)!";
// The site folder is removed with everything in it on uninstallation: never
// a drive root, the system's folders or the installer's own folder.
inline constexpr std::string_view kFolderNotAllowed =
    "对不起,安装目录不可以是驱动器根目录、系统目录或安装程序所在的目录!";
// The database is copied and deleted inside the site's Data folder by this name.
inline constexpr std::string_view kDatabaseNameInvalid = "你输入的数据库名不是合法的文件名!";
// ODBC takes a data source name of at most 32 characters without these.
inline constexpr std::string_view kPoolNameInvalid =
    "你输入的应用程序池名不合法,不可以含有 / \\ 等字符,也不可以是 . 或 ..!";
inline constexpr std::string_view kDataSourceNameInvalid =
    "你输入的数据源名不合法,最多32个字符,不可以含有 []{}(),;?*=!@\\| 等字符!";
// Nor may the site folder be another site's folder (the default web site's
// included), lie inside one or hold one.
inline constexpr std::string_view kFolderOfAnotherSite =
    "对不起,安装目录不可以与其他站点(包括默认网站)的目录重叠!";
inline constexpr std::string_view kSitesUnreadable = "无法读取 IIS 中各站点的目录,请检查 IIS 配置!";
inline constexpr std::string_view kWrongServUFolder = "你所选择的 Serv-U 路径不正确!";
inline constexpr std::string_view kFolderNotCreated = "网站目录创建失败: ";

// Installation.
inline constexpr std::string_view kCannotLoadW3svc = "无法加载W3SVC服务!";
inline constexpr std::string_view kDomainTaken = "你所要绑定的域名已存在!";
inline constexpr std::string_view kNoSiteNumber = "无法分配新的站点编号,请检查 IIS 配置!";
inline constexpr std::string_view kCreatingAccount = "开始创建 NT 帐号...";
inline constexpr std::string_view kAccountNotCreated = "创建 NT 帐号失败!";
inline constexpr std::string_view kAccountNotInGroup = "设置NT帐号属性失败!";
inline constexpr std::string_view kAccountCreated = "NT 帐号创建成功...";
inline constexpr std::string_view kPermissionsNotSet = "网站安全设置权限设置出错!";
inline constexpr std::string_view kPermissionsSet = "目录安全性设置成功...";
inline constexpr std::string_view kPoolInstalled = "应用程序池安装完毕...";
inline constexpr std::string_view kRootNotCreated = "主目录创建时出错!";
inline constexpr std::string_view kSiteNotStarted = "启动站点时出错,请联系管理员!";
inline constexpr std::string_view kCopyingFiles = "开始复制文件...";
inline constexpr std::string_view kDatabaseNotCopied = "复制数据库文件时出错!";
inline constexpr std::string_view kRegisteringComponent = "开始注册组件...";
inline constexpr std::string_view kCreatingDataSource = "创建 ODBC 数据源...";
inline constexpr std::string_view kConfiguringServU = "开始配置 Serv-U 信息...";
inline constexpr std::string_view kWritingLog = "请稍等.正在创建安装日志...";
inline constexpr std::string_view kInstalled = "恭喜你,主控站安装成功!";

// Uninstallation.
inline constexpr std::string_view kNoLog = "你可能没有安装过本系统或你把本目录下的 Log.ini 删除了!";
inline constexpr std::string_view kLogDamaged = "安装日志 Log.ini 的内容不正确,系统无法卸载!";
inline constexpr std::string_view kLogFolderNotAllowed =
    "安装日志 Log.ini 中的网站目录不正确,系统无法卸载!";
inline constexpr std::string_view kLogFolderOfAnotherSite =
    "安装日志 Log.ini 中的网站目录与其他站点的目录重叠,系统无法卸载!";
inline constexpr std::string_view kAccountDeleted = "NT 帐号已删除...";
inline constexpr std::string_view kAccountNotDeleted = "NT 帐号删除失败!";
inline constexpr std::string_view kSiteDeleted = "主控端已删除...";
inline constexpr std::string_view kSiteNotDeleted = "主控端删除失败!";
// The logged site number now belongs to another site: it stays.
inline constexpr std::string_view kSiteNotThePanels =
    "安装日志中的站点已不是主控端,系统没有删除该站点!";
inline constexpr std::string_view kFolderDeleted = "网站目录已删除...";
inline constexpr std::string_view kFolderNotDeleted = "网站目录删除失败!";
inline constexpr std::string_view kUninstalled = "恭喜你,卸载成功!";
// Something could not be removed: the log stays for another try.
inline constexpr std::string_view kUninstallIncomplete = "卸载没有完成,请排除错误后重新卸载!";

}  // namespace tarnwick::installer::messages
