// The command-line options of `site create` and `site modify`, the same for
// the native command and tarnwick.exe.
#pragma once

#include <CLI/CLI.hpp>
#include <memory>
#include <string>

#include "cli/bulk_create.h"

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

}  // namespace tarnwick::cli
