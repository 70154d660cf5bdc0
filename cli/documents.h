// Reading the JSON documents the tarnwick command takes: pages and state
// documents, from a file or standard input.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <string>

namespace tarnwick::cli {

// How deep a page or a state document may nest arrays and objects. The
// document and the values made from it are read and written back by code that
// recurses once per level, so a deeper one is refused before anything reads it.
constexpr int kDeepestNesting = 64;

// A document that cannot be read; the message says why.
class DocumentError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Parses a page or state document (`what` names it in messages).
nlohmann::json parseDocument(const std::string& text, const std::string& what);

// Reads standard input (an empty name or "-"), or the named file; nothing when
// the file cannot be read.
std::optional<std::string> readInput(const std::string& file);

}  // namespace tarnwick::cli
