#include "platform/embedded/files/file_path.h"

#include "automation/text.h"

namespace tarnwick::platform::embedded::files {

namespace {

bool isForbidden(unsigned char c) {
    if (c < 0x20) return true;
    switch (c) {
        case '<':
        case '>':
        case ':':
        case '"':
        case '|':
        case '?':
        case '*': return true;
        default: return false;
    }
}

}  // namespace

std::string FilePath::text() const {
    std::string result{drive, ':', '\\'};
    for (size_t i = 0; i < names.size(); ++i) {
        if (i > 0) result += '\\';
        result += names[i];
    }
    return result;
}

std::string FilePath::name() const { return names.empty() ? std::string() : names.back(); }

FilePath FilePath::parent() const {
    FilePath result = *this;
    if (!result.names.empty()) result.names.pop_back();
    return result;
}

FilePath FilePath::child(std::string_view childName) const {
    FilePath result = *this;
    result.names.emplace_back(childName);
    return result;
}

bool FilePath::isWithin(const FilePath& other) const {
    if (drive != other.drive || names.size() < other.names.size()) return false;
    for (size_t i = 0; i < other.names.size(); ++i) {
        if (!automation::equalsIgnoreCase(names[i], other.names[i])) return false;
    }
    return true;
}

std::optional<char> driveLetterOf(std::string_view text) {
    if (text.size() < 2 || text[1] != ':') return std::nullopt;
    char letter = text[0];
    if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
    if (letter < 'A' || letter > 'Z') return std::nullopt;
    return letter;
}

ParsedPath parseFilePath(std::string_view text) {
    ParsedPath result;
    if (text.size() >= 2 && text[1] == ':' && !driveLetterOf(text)) {
        result.problem = PathProblem::InvalidName;
        return result;
    }
    auto drive = driveLetterOf(text);
    if (!drive) return result;  // relative or network path
    auto rest = text.substr(2);
    if (!rest.empty() && !isSeparator(rest.front())) return result;  // "C:a" is drive-relative

    FilePath path{*drive, {}};
    size_t start = 0;
    while (start <= rest.size()) {
        size_t end = start;
        while (end < rest.size() && !isSeparator(rest[end])) ++end;
        std::string name(rest.substr(start, end - start));
        start = end + 1;
        if (name.empty() || name == ".") continue;
        if (name == "..") {
            if (!path.names.empty()) path.names.pop_back();
            continue;
        }
        for (char c : name) {
            if (isForbidden(static_cast<unsigned char>(c))) {
                result.problem = PathProblem::InvalidName;
                return result;
            }
        }
        auto kept = name.find_last_not_of(" .");
        if (kept == std::string::npos) {
            result.problem = PathProblem::InvalidName;
            return result;
        }
        name.erase(kept + 1);
        if (automation::isDeviceName(name)) {
            result.problem = PathProblem::InvalidName;
            return result;
        }
        path.names.push_back(std::move(name));
    }
    result.path = std::move(path);
    return result;
}

}  // namespace tarnwick::platform::embedded::files
