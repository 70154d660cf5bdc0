#include "cli/log_command.h"

#include <iostream>

namespace tarnwick::cli {

void addLogCommand(CLI::App& app, std::function<std::vector<LogFile>()> files, int& exitCode) {
    auto* log = app.add_subcommand(
        "log",
        "Print the activity log: one line per member call that changed something, oldest "
        "first (dates and times in UTC)");
    struct Options {
        std::string since, until, member;
        int64_t site = 0;
        bool json = false;
    };
    auto options = std::make_shared<Options>();
    log->add_option("--since", options->since,
                    "Lines from this UTC time on: YYYY-MM-DD or \"YYYY-MM-DD HH:MM:SS\"");
    log->add_option("--until", options->until,
                    "Lines up to this UTC time (a bare date includes the whole day)");
    log->add_option("--site", options->site, "Lines of this site number")
        ->check(CLI::Range(int64_t{1}, int64_t{0x7FFFFFFF}));
    log->add_option("--member", options->member, "Lines of this member (letter case ignored)");
    log->add_flag("--json", options->json, "One JSON document with one object per line");
    log->callback([log, files, options, &exitCode] {
        ActivityFilter filter;
        auto date = [](const std::string& text, bool end, const char* option) {
            auto when = parseLogDate(text, end);
            if (!when) {
                throw CLI::ValidationError(option, "\"" + text +
                                                       "\" is not YYYY-MM-DD or "
                                                       "\"YYYY-MM-DD HH:MM:SS\"");
            }
            return when;
        };
        if (log->count("--since")) filter.since = date(options->since, false, "--since");
        if (log->count("--until")) filter.until = date(options->until, true, "--until");
        if (log->count("--site")) filter.site = options->site;
        filter.member = options->member;
        auto entries = readActivity(files(), filter);
        if (options->json) {
            std::cout << activityJson(entries).dump(2, ' ', false,
                                                    nlohmann::json::error_handler_t::replace)
                      << "\n";
        } else {
            std::cout << activityText(entries);
        }
        exitCode = 0;
    });
}

}  // namespace tarnwick::cli
