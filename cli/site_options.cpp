#include "cli/site_options.h"

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

}  // namespace tarnwick::cli
