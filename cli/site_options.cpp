#include "cli/site_options.h"

#include <iostream>

namespace tarnwick::cli {

void CreateOptions::requireSiteOptions() const {
    for (auto* option : {user, path, domain}) {
        if (option->count() == 0) throw CLI::RequiredError(option->get_name());
    }
}

CreateOptions addCreateOptions(CLI::App& create, SiteOptions& options) {
    CreateOptions added;
    added.user =
        create.add_option("--user", options.user,
                          "Customer's user name (account Tarn_<user>); required without --from");
    added.path = create.add_option("--path", options.path,
                                   "Site folder, e.g. D:\\Web\\bob; required without --from");
    added.domain =
        create.add_option("--domain", options.domain,
                          "Host name; www.<domain> is bound too; required without --from");
    auto* connections =
        create.add_option("--connections", options.connections, "Connection limit, -1 for none")
            ->capture_default_str();
    auto* bandwidth =
        create.add_option("--bandwidth", options.bandwidth, "KB/s from 0 to 1024, -1 for none")
            ->capture_default_str();
    auto* pool =
        create.add_option("--pool", options.pool, "Application pool (IIS 6); default Tarn_<user>");
    auto* cpu = create.add_option("--cpu", options.cpu, "CPU limit in percent (IIS 5)")
                    ->capture_default_str();
    auto* documents =
        create.add_option("--docs", options.docs, "Default documents, comma separated")
            ->capture_default_str();
    create
        .add_option("--from", *added.from,
                    "Create one site per line of this CSV file; its header names the columns "
                    "user, path, domain, connections, bandwidth, pool, cpu, docs, show-ip")
        ->excludes(added.user)
        ->excludes(added.path)
        ->excludes(added.domain)
        ->excludes(connections)
        ->excludes(bandwidth)
        ->excludes(pool)
        ->excludes(cpu)
        ->excludes(documents);
    return added;
}

void addModifyOptions(CLI::App& modify, SiteOptions& options) {
    modify.add_option("site", options.siteNumber, "Site number")->required();
    modify.add_option("--domain", options.domain, "New host name")->required();
    modify.add_option("--user", options.user, "The site's user name (recognises its own bindings)")
        ->required();
    modify.add_option("--connections", options.connections, "Connection limit, -1 for none")
        ->capture_default_str();
    modify.add_option("--bandwidth", options.bandwidth, "KB/s from 0 to 1024, -1 for none")
        ->capture_default_str();
    modify.add_option("--docs", options.docs, "Default documents, comma separated")
        ->capture_default_str();
}

void addListingCommands(CLI::App& site, const std::shared_ptr<SiteOptions>& options,
                        std::function<std::vector<SiteRow>()> sites, int& exitCode) {
    auto asJson = std::make_shared<bool>(false);
    auto* list = site.add_subcommand("list", "List the web sites with their bindings and state");
    list->add_flag("--json", *asJson,
                   "Print {\"sites\": [...]}: every site's number, description, state, "
                   "bindings, folder, anonymous user, pool, limits and default documents");
    list->callback([sites, asJson] {
        auto rows = sites();
        if (!*asJson) return printTable(rows);
        Document all = Document::array();
        for (const auto& row : rows) all.push_back(siteJson(row));
        printJson({{"sites", all}});
    });

    auto* show = site.add_subcommand("show", "Show one web site");
    show->add_option("site", options->siteNumber, "Site number")->required();
    show->add_flag("--json", *asJson,
                   "Print the site as one JSON object, as in `site list --json`");
    show->callback([sites, options, asJson, &exitCode] {
        for (const auto& row : sites()) {
            if (row.number != options->siteNumber) continue;
            if (*asJson) return printJson(siteJson(row));
            return printSite(row);
        }
        std::cerr << "tarnwick: there is no site " << options->siteNumber << std::endl;
        exitCode = 1;
    });
}

}  // namespace tarnwick::cli
