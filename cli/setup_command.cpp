#include "cli/setup_command.h"

#include <iostream>
#include <optional>

#include "installer/form.h"
#include "platform/embedded/embedded_platform.h"
#include "platform/embedded/system/embedded_setup_system.h"
#include "platform/embedded/system/recording_form_view.h"

namespace tarnwick::cli {

namespace embedded = platform::embedded;
namespace system = platform::embedded::system;

namespace {

struct SetupOptions {
    std::optional<std::string> computer, domain, folder, pool, servU, database, dataSource, pick;
    std::vector<int> helpLabels;
    bool install = false;
    bool uninstall = false;
};

void printEvent(const system::FormEvent& event) {
    std::cout << system::kindName(event.kind) << ": " << event.text << std::endl;
}

int run(embedded::EmbeddedPlatform& platform, const SetupOptions& options) {
    system::EmbeddedSetupSystem setupSystem(platform.services(), platform.objects(),
                                            platform.system());
    system::RecordingFormView view;
    view.observer = printEvent;
    view.folderChoice = options.pick;
    installer::SetupForm form(setupSystem, view);
    form.Form_Load();

    auto& f = form.fields;
    for (auto [given, field] : {std::pair{&options.computer, &f.Text1},
                                {&options.domain, &f.Text2},
                                {&options.folder, &f.Text3},
                                {&options.pool, &f.Text4},
                                {&options.servU, &f.Text5},
                                {&options.database, &f.Text6},
                                {&options.dataSource, &f.Text7}}) {
        if (*given) *field = **given;
    }
    if (options.pick) form.Command2_Click();
    for (int label : options.helpLabels) form.Label_Click(label);

    bool completed = true;
    if (options.install) completed = form.Command1_Click() && completed;
    if (options.uninstall) completed = form.Command3_Click() && completed;
    return completed ? 0 : 1;
}

}  // namespace

void addSetupCommand(CLI::App& app, std::function<std::filesystem::path()> folder, int& exitCode) {
    auto options = std::make_shared<SetupOptions>();
    auto* setup = app.add_subcommand(
        "setup",
        "Run the installer window: fill its fields (the others keep their defaults), then press "
        "its buttons. Prints every caption change and message box; exit code 1 when the "
        "installation or uninstallation stopped.");
    setup->add_option("--computer", options->computer, "计算机名: the computer name (Text1)");
    setup->add_option("--domain", options->domain,
                      "绑定域名: the master control site's domain (Text2)");
    setup->add_option("--folder", options->folder,
                      "安装目录: the site folder, e.g. D:\\Panel (Text3)");
    setup->add_option("--pool", options->pool, "进 程 池: the IIS 6 application pool (Text4)");
    setup->add_option("--servu", options->servU, "SERV-U: the Serv-U folder (Text5)");
    setup->add_option("--db", options->database, "数据库名: the database file name (Text6)");
    setup->add_option("--dsn", options->dataSource, "数据源名: the data source name (Text7)");
    setup->add_option("--pick-servu", options->pick,
                      "Choose the Serv-U folder with the 选择 button's folder picker");
    setup
        ->add_option("--help-label", options->helpLabels,
                     "Click a label (2-8) to see its help message; 6 opens the web page")
        ->check(CLI::Range(1, 8));
    setup->add_flag("--install", options->install, "Press 安装主控端 (install)");
    setup->add_flag("--uninstall", options->uninstall, "Press 卸载本系统 (uninstall)");
    setup->callback([folder, options, &exitCode] {
        try {
            exitCode = run(*embedded::EmbeddedPlatform::open(folder()), *options);
        } catch (const std::exception& error) {
            std::cerr << "tarnwick: " << error.what() << "\n";
            exitCode = 2;
        }
    });
}

}  // namespace tarnwick::cli
