#include "toolkit/site_folders.h"

#include "automation/text.h"

namespace tarnwick::toolkit {

namespace {
// Characters no folder name holds: the stream separator, the wildcards
// (DeleteFolder would expand "D:\*" to every folder of the drive) and the
// characters Windows reserves.
bool hasReservedCharacter(std::string_view name) {
    for (char c : name) {
        if (static_cast<unsigned char>(c) < 0x20) return true;
        if (std::string_view(":*?\"<>|").find(c) != std::string_view::npos) return true;
    }
    return false;
}

// The name the file system uses for a path element: trailing blanks and dots
// are dropped (so "WINDOWS." and "..." name what "WINDOWS" and "" name);
// leading blanks are dropped too, which only refuses more.
std::string effectiveName(std::string_view element) {
    auto name = automation::trimBlanks(element);
    while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.remove_suffix(1);
    return automation::toUpperAscii(name);
}

bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
}  // namespace

std::optional<LocalFolder> LocalFolder::parse(std::string_view path) {
    std::string text = automation::replaceAll(path, "/", "\\");
    if (text.size() < 3 || !isLetter(text[0]) || text[1] != ':' || text[2] != '\\') return {};
    LocalFolder folder;
    folder.drive_ = automation::toUpperAscii(text.substr(0, 1))[0];
    auto elements = automation::split(std::string_view(text).substr(3), "\\");
    if (!elements.empty() && elements.back().empty()) elements.pop_back();  // one trailing "\"
    for (const auto& element : elements) {
        // An empty name here is "", ".", ".." or only blanks and dots: the
        // path would climb back towards the root.
        auto name = effectiveName(element);
        if (hasReservedCharacter(element) || name.empty() || automation::isDeviceName(name)) {
            return {};
        }
        folder.elements_.push_back(std::move(name));
    }
    return folder;
}

bool LocalFolder::isSameAs(const LocalFolder& other) const {
    return drive_ == other.drive_ && elements_ == other.elements_;
}

bool LocalFolder::isInside(const LocalFolder& outer) const {
    if (drive_ != outer.drive_ || elements_.size() <= outer.elements_.size()) return false;
    for (size_t i = 0; i < outer.elements_.size(); ++i) {
        if (elements_[i] != outer.elements_[i]) return false;
    }
    return true;
}

bool LocalFolder::overlaps(const LocalFolder& other) const {
    return isSameAs(other) || isInside(other) || other.isInside(*this);
}

bool LocalFolder::isSystemFolder() const {
    if (elements_.empty()) return false;
    const auto& first = elements_.front();
    return first == "WINDOWS" || first == "WINNT" || first == "PROGRAM FILES" ||
           first == "PROGRAM FILES (X86)" || first == "SYSTEM VOLUME INFORMATION" ||
           first == "RECYCLER";
}

namespace {
// The folder a path names, as the platform resolves it; only a path written
// as a local folder is resolved.
std::optional<LocalFolder> namedFolder(std::string_view path, const PathResolver& resolve) {
    auto written = LocalFolder::parse(path);
    if (!written || !resolve) return written;
    // Most paths are their own long name: they need no second parse.
    const auto resolved = resolve(path);
    return resolved == path ? written : LocalFolder::parse(resolved);
}
}  // namespace

bool fitsFolderLimits(std::string_view path) {
    size_t characters = 0;
    size_t element = 0;
    for (unsigned char c : path) {
        if ((c & 0xC0) == 0x80) continue;  // inside a UTF-8 character
        ++characters;
        element = (c == '\\' || c == '/') ? 0 : element + 1;
        if (characters > kLongestFolderPath || element > kLongestName) return false;
    }
    return true;
}

bool mayHoldSite(std::string_view path, const std::vector<std::string>& protectedFolders,
                 const PathResolver& resolve) {
    // The spelling first: what it refuses needs no look at the drives.
    if (!fitsFolderLimits(path)) return false;
    auto written = LocalFolder::parse(path);
    if (!written || written->isDriveRoot() || written->isSystemFolder()) return false;
    auto folder = namedFolder(path, resolve);
    if (!folder || folder->isDriveRoot() || folder->isSystemFolder()) return false;
    for (const auto& text : protectedFolders) {
        auto other = namedFolder(text, resolve);
        if (other && folder->overlaps(*other)) return false;
    }
    return true;
}

bool isSameFolder(std::string_view path, std::string_view other, const PathResolver& resolve) {
    auto folder = namedFolder(path, resolve);
    auto otherFolder = namedFolder(other, resolve);
    return folder && otherFolder && folder->isSameAs(*otherFolder);
}

bool isPlainFileName(std::string_view name) {
    if (name.empty() || hasReservedCharacter(name)) return false;
    if (name.find_first_of("\\/") != std::string_view::npos) return false;
    const auto effective = effectiveName(name);
    return !effective.empty() && !automation::isDeviceName(effective);
}

}  // namespace tarnwick::toolkit
