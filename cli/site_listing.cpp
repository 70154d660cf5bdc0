#include "cli/site_listing.h"

#include <algorithm>
#include <array>
#include <iostream>

#include "automation/text.h"
#include "component/site_rules.h"
#include "toolkit/steps.h"

namespace tarnwick::cli {

namespace {

std::string text(automation::Dispatch& object, std::string_view property) {
    try {
        auto value = object.get(property);
        if (value.type() == automation::VarType::Array) {
            std::string joined;
            for (const auto& item : value.array()) {
                joined += (joined.empty() ? "" : " ") + automation::concatText(item);
            }
            return joined;
        }
        return automation::concatText(value);
    } catch (const automation::AutomationError&) {
        return "";
    }
}

// Every entry of a property as text: an array's items, or the one value.
std::vector<std::string> texts(automation::Dispatch& object, std::string_view property) {
    std::vector<std::string> entries;
    try {
        auto value = object.get(property);
        if (value.type() == automation::VarType::Array) {
            for (const auto& item : value.array()) entries.push_back(automation::concatText(item));
        } else if (!value.isEmpty() && !value.isNull()) {
            entries.push_back(automation::concatText(value));
        }
    } catch (const automation::AutomationError&) {
    }
    return entries;
}

// A limit as the site commands take it: -1 for none (the metabase's
// 4294967295), else the value divided by `unit`; null when it cannot be read.
Document limit(automation::Dispatch& object, std::string_view property, double unit) {
    try {
        auto value = object.get(property);
        if (!value.isNumeric()) return nullptr;
        // The metabase's DWORDs may come back as signed Longs.
        double number = automation::toNumber(value);
        if (number < 0) number += component::kUnlimited + 1;
        if (number == component::kUnlimited) return -1;
        double scaled = number / unit;
        if (scaled == static_cast<double>(static_cast<int64_t>(scaled))) {
            return static_cast<int64_t>(scaled);
        }
        return scaled;
    } catch (const automation::AutomationError&) {
        return nullptr;
    }
}

}  // namespace

std::vector<SiteRow> readSites(platform::Directory& directory, const std::string& webService) {
    auto service = directory.bind(webService);
    std::vector<SiteRow> rows;
    for (const auto& child : toolkit::childrenOf(*service)) {
        if (text(*child, "Class") != "IIsWebServer") continue;
        SiteRow row;
        row.number = text(*child, "Name");
        row.description = text(*child, "ServerComment");
        row.bindings = text(*child, "ServerBindings");
        row.bindingList = texts(*child, "ServerBindings");
        auto state = text(*child, "ServerState");
        row.state = state == "2" ? "started" : state == "4" ? "stopped" : state;
        row.anonymous = text(*child, "AnonymousUserName");
        row.connections = limit(*child, "MaxConnections", 1);
        row.bandwidth = limit(*child, "MaxBandwidth", 1024);
        try {
            auto root = directory.bind(webService + "/" + row.number + "/ROOT");
            row.folder = text(*root, "Path");
            row.pool = text(*root, "AppPoolId");
            for (const auto& name : automation::split(text(*root, "DefaultDoc"), ",")) {
                auto trimmed = automation::trimBlanks(name);
                if (!trimmed.empty()) row.documents.emplace_back(trimmed);
            }
        } catch (const automation::AutomationError&) {
        }
        rows.push_back(std::move(row));
    }
    std::sort(rows.begin(), rows.end(), [](const SiteRow& a, const SiteRow& b) {
        return std::stoll("0" + a.number) < std::stoll("0" + b.number);
    });
    return rows;
}

// One site as JSON, its members in the order of the text form; a text or a
// limit that is not set is null.
Document siteJson(const SiteRow& row) {
    auto orNull = [](const std::string& value) {
        return value.empty() ? Document() : Document(value);
    };
    Document number = row.number;
    if (auto parsed = automation::parseNumber(row.number);
        parsed && !row.number.empty() &&
        row.number.find_first_not_of("0123456789") == std::string::npos) {
        number = static_cast<int64_t>(*parsed);
    }
    return {{"number", number},
            {"description", orNull(row.description)},
            {"state", orNull(row.state)},
            {"bindings", row.bindingList},
            {"folder", orNull(row.folder)},
            {"anonymous_user", orNull(row.anonymous)},
            {"pool", orNull(row.pool)},
            {"limits", {{"connections", row.connections}, {"bandwidth", row.bandwidth}}},
            {"default_documents", row.documents}};
}

void printJson(const Document& document) {
    std::cout << document.dump(2, ' ', false, Document::error_handler_t::replace) << std::endl;
}

void printTable(const std::vector<SiteRow>& rows) {
    std::vector<std::array<std::string, 7>> lines = {
        {"SITE", "DESCRIPTION", "STATE", "BINDINGS", "FOLDER", "ANONYMOUS USER", "POOL"}};
    for (const auto& row : rows) {
        lines.push_back({row.number, row.description, row.state, row.bindings, row.folder,
                         row.anonymous, row.pool});
    }
    std::array<size_t, 7> widths{};
    for (const auto& line : lines) {
        for (size_t i = 0; i < line.size(); ++i) widths[i] = std::max(widths[i], line[i].size());
    }
    for (const auto& line : lines) {
        std::string out;
        for (size_t i = 0; i < line.size(); ++i) {
            out += line[i];
            if (i + 1 < line.size()) out += std::string(widths[i] - line[i].size() + 2, ' ');
        }
        while (!out.empty() && out.back() == ' ') out.pop_back();
        std::cout << out << "\n";
    }
}

void printSite(const SiteRow& row) {
    std::cout << "Site:           " << row.number << "\n"
              << "Description:    " << row.description << "\n"
              << "State:          " << row.state << "\n"
              << "Bindings:       " << row.bindings << "\n"
              << "Folder:         " << row.folder << "\n"
              << "Anonymous user: " << row.anonymous << "\n"
              << "Pool:           " << row.pool << "\n";
}

}  // namespace tarnwick::cli
