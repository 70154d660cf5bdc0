// The sites of a web service as the site commands show them: read through
// the metabase's directory objects (the embedded platform's or the real
// one's), printed as a table, one site's details, or JSON.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "platform/directory.h"

namespace tarnwick::cli {

// What the listing prints as JSON: members in the order they were written.
using Document = nlohmann::ordered_json;

struct SiteRow {
    std::string number, description, bindings, state, folder, anonymous, pool;
    std::vector<std::string> bindingList, documents;
    Document connections, bandwidth;  // -1 for none, null when not set
};

// Every web site under `webService` ("IIS://COMPUTER/W3SVC"), by number;
// what cannot be read is left empty.
std::vector<SiteRow> readSites(platform::Directory& directory, const std::string& webService);

// One site as JSON, its members in the order of the text form; a text or a
// limit that is not set is null.
Document siteJson(const SiteRow& row);
void printJson(const Document& document);
void printTable(const std::vector<SiteRow>& rows);
void printSite(const SiteRow& row);

}  // namespace tarnwick::cli
