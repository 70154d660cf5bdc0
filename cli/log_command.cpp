#include "cli/log_command.h"

#include <iostream>

#include "automation/text.h"
#include "cli/activity_reader.h"
#include "platform/embedded/embedded_platform.h"
#include "platform/embedded/files/file_system.h"
#include "toolkit/steps.h"

namespace tarnwick::cli {

namespace embedded = platform::embedded;

namespace {

// The daily files in the platform's log folder, as the component finds it
// (the system folder of its FileSystemObject); none when there is no folder yet.
std::vector<LogFile> logFiles(embedded::EmbeddedPlatform& platform) {
    auto fso = platform.objects()("Scripting.FileSystemObject");
    auto system = toolkit::use(fso).call("GetSpecialFolder", {1});
    const std::string folder =
        automation::toText(toolkit::use(system.object()).get("Path")) + "\\LogFiles\\Tarnwick";
    embedded::files::FileSystem files(platform.sharedStore());
    std::vector<LogFile> found;
    if (!files.folderExists(folder)) return found;
    auto ansi = platform.services().ansi;
    for (const auto& entry : files.children(folder)) {
        if (entry.folder) continue;
        found.push_back({entry.name(), ansi->toUtf8(files.readFile(entry.pathText()))});
    }
    return found;
}

}  // namespace

void addLogCommand(CLI::App& app, std::function<std::filesystem::path()> folder, int& exitCode) {
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
    log->callback([log, folder, options, &exitCode] {
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
        auto platform = embedded::EmbeddedPlatform::open(folder());
        auto entries = readActivity(logFiles(*platform), filter);
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
