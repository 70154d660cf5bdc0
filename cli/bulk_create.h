// The options of `site create` and the bulk run that creates one site per
// line of a CSV file, shared by the native command and tarnwick.exe.
#pragma once

#include <functional>
#include <string>

namespace tarnwick::cli {

struct SiteOptions {
    std::string user;
    std::string path;
    std::string domain;
    std::string connections = "-1";
    std::string bandwidth = "-1";
    std::string pool;
    std::string cpu = "100";
    std::string docs = "index.htm,index.html,index.asp,default.htm,default.asp";
    bool showIp = false;
    std::string localAddress;  // LOCAL_ADDR of the page
    std::string siteNumber;
    std::string masterSite;  // the master control site's folder, where the platform needs it
};

// Creating one site: whether it was made, and the line to print ("Created
// site N for D, started" or the message of the failure).
struct Creation {
    bool created = false;
    std::string text;
};

// Creates a site for every line of a CSV file (`content` of `file`) after its
// header, going on past the lines that fail; each line's values override
// `defaults`. Prints one line per site and a summary, progress on standard
// error for runs longer than a second. Returns the exit code: 1 when a line
// failed or the file cannot be used (nothing is created then).
int createFromCsv(const std::string& file, const std::string& content, const SiteOptions& defaults,
                  const std::function<Creation(const SiteOptions&)>& create);

}  // namespace tarnwick::cli
