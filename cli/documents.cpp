#include "cli/documents.h"

#include <fstream>
#include <iostream>
#include <iterator>

namespace tarnwick::cli {

using nlohmann::json;

json parseDocument(const std::string& text, const std::string& what) {
    struct TooDeep {};
    try {
        return json::parse(text, [](int depth, json::parse_event_t event, json&) {
            // `depth` counts the arrays and objects around the one that starts.
            bool starts = event == json::parse_event_t::array_start ||
                          event == json::parse_event_t::object_start;
            if (starts && depth >= kDeepestNesting) throw TooDeep{};
            return true;
        });
    } catch (const TooDeep&) {
        throw DocumentError(what + " nests arrays and objects more than " +
                            std::to_string(kDeepestNesting) + " levels deep");
    } catch (const json::exception& error) {
        throw DocumentError(what + " is not valid JSON: " + error.what());
    }
}

namespace {

std::string readAll(std::istream& in) {
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

std::optional<std::string> readInput(const std::string& file) {
    if (file.empty() || file == "-") return readAll(std::cin);
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    return readAll(in);
}

}  // namespace tarnwick::cli
