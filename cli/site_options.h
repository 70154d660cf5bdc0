// The command-line options of the site commands, and the `site list` and
// `site show` commands, the same for the native command and tarnwick.exe.
#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cli/bulk_create.h"
#include "cli/site_listing.h"

namespace tarnwick::cli {

// What a create command needs after parsing: the CSV file of a bulk run
// (empty for one site), and the options one site cannot do without.
struct CreateOptions {
    std::shared_ptr<std::string> from = std::make_shared<std::string>();
    CLI::Option* user = nullptr;
    CLI::Option* path = nullptr;
    CLI::Option* domain = nullptr;

    // Refuses a single site without --user, --path or --domain.
    void requireSiteOptions() const;
};

CreateOptions addCreateOptions(CLI::App& create, SiteOptions& options);
void addModifyOptions(CLI::App& modify, SiteOptions& options);

// `site list [--json]` and `site show N [--json]` over the sites `sites`
// reads; an unknown site number sets `exitCode` to 1.
void addListingCommands(CLI::App& site, const std::shared_ptr<SiteOptions>& options,
                        std::function<std::vector<SiteRow>()> sites, int& exitCode);

}  // namespace tarnwick::cli
