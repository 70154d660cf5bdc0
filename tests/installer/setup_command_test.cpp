// `tarnwick setup`: the window driven from options, its captions and
// message boxes printed in order, and the exit code.
#include "support/cli.h"

namespace tarnwick::testing {
namespace {

using SetupCommand = CliFixture;

TEST_F(SetupCommand, InstallsAndUninstalls) {
    auto install = tarnwick({"setup", "--domain", "panel.test", "--folder", "D:\\Panel", "--pool",
                             "PanelPool", "--servu", "C:\\Program Files\\Serv-U", "--install"});
    EXPECT_EQ(install.exitCode, 0) << install.err;
    EXPECT_EQ(
        install.out,
        "caption: Quorvel安装程序\ncaption: 开始创建 NT 帐号...\ncaption: NT 帐号创建成功...\n"
        "caption: 目录安全性设置成功...\ncaption: 应用程序池安装完毕...\n"
        "caption: 开始复制文件...\ncaption: 开始注册组件...\ncaption: 创建 ODBC 数据源...\n"
        "caption: 开始配置 Serv-U 信息...\ncaption: 请稍等.正在创建安装日志...\n"
        "caption: 恭喜你,主控站安装成功!\n");

    auto uninstall = tarnwick({"setup", "--uninstall"});
    EXPECT_EQ(uninstall.exitCode, 0) << uninstall.err;
    EXPECT_EQ(uninstall.out,
              "caption: Quorvel安装程序\nmessage: NT 帐号已删除...\nmessage: 主控端已删除...\n"
              "message: 网站目录已删除...\nmessage: 恭喜你,卸载成功!\n");

    auto again = tarnwick({"setup", "--uninstall"});
    EXPECT_EQ(again.exitCode, 1);
}

TEST_F(SetupCommand, AStoppedInstallationExitsWithOne) {
    // The Serv-U folder keeps its prompt: the check refuses it.
    auto result =
        tarnwick({"setup", "--domain", "panel.test", "--folder", "D:\\Panel", "--install"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, "caption: Quorvel安装程序\ncaption: 请指定 SERVU 的安装目录!\n");
}

}  // namespace
}  // namespace tarnwick::testing
