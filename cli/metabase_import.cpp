#include "cli/metabase_import.h"

#include <expat.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iostream>
#include <iterator>
#include <limits>
#include <memory>
#include <set>
#include <sstream>

#include "automation/text.h"
#include "automation/utf8.h"
#include "platform/embedded/embedded_platform.h"
#include "platform/embedded/metabase/key_path.h"
#include "platform/embedded/metabase/property_value.h"
#include "platform/embedded/metabase/schema.h"
#include "platform/embedded/settings_check.h"

namespace tarnwick::cli {

namespace {

namespace embedded = platform::embedded;
namespace mb = platform::metabase;
using automation::equalsIgnoreCase;
using automation::toLowerAscii;
using nlohmann::json;

constexpr std::string_view kWebService = "/LM/W3SVC";
// The element of a key that has no KeyType.
constexpr std::string_view kGenericKey = "IIsConfigObject";
// Properties the metabase keeps encrypted that the schema does not know: kept
// as secrets as well.
constexpr std::string_view kOtherSecrets[] = {"AdminACL", "AdminACLBin", "ADConnectionsPassword"};
// The bits of AuthFlags; the platform keeps the first three as Booleans.
struct AuthBit {
    std::string_view name;
    uint32_t mask;
    bool kept;
};
constexpr AuthBit kAuthBits[] = {{"AuthAnonymous", 0x1, true},
                                 {"AuthBasic", 0x2, true},
                                 {"AuthNTLM", 0x4, true},
                                 {"AuthMD5", 0x10, false},
                                 {"AuthPassport", 0x40, false}};

// One attribute as the file writes it: its raw text between the quotes.
struct RawAttribute {
    std::string name;
    std::string_view raw;
    int line = 0;
};

struct RawKey {
    std::string element;
    int line = 0;
    std::string location;
    std::vector<RawAttribute> attributes;
    std::vector<std::vector<RawAttribute>> customs;
};

// ---- Reading the file ---------------------------------------------------------

class FileReader {
public:
    FileReader(std::string_view bytes, std::string fileName)
        : bytes_(bytes), file_(std::move(fileName)) {}

    std::vector<RawKey> read(ImportReport& report) {
        if (bytes_.starts_with("\xFF\xFE") || bytes_.starts_with("\xFE\xFF")) {
            throw ImportError(file_ + " line 1: the file is UTF-16; only UTF-8 files are read");
        }
        if (bytes_.size() > static_cast<size_t>(std::numeric_limits<int>::max())) {
            throw ImportError(file_ + " line 1: the file is larger than 2 GB");
        }
        report_ = &report;
        std::unique_ptr<XML_ParserStruct, decltype(&XML_ParserFree)> parser(
            XML_ParserCreate("UTF-8"), &XML_ParserFree);
        if (!parser) throw std::bad_alloc();
        parser_ = parser.get();
        XML_SetUserData(parser_, this);
        XML_SetElementHandler(parser_, &FileReader::onStart, &FileReader::onEnd);
        XML_SetStartDoctypeDeclHandler(parser_, &FileReader::onDoctype);
        XML_SetXmlDeclHandler(parser_, &FileReader::onDeclaration);
        // One buffer, so that the parser's byte positions index the file.
        if (XML_Parse(parser_, bytes_.data(), static_cast<int>(bytes_.size()), XML_TRUE) !=
            XML_STATUS_OK) {
            if (problem_) throw ImportError(*problem_);
            throw ImportError(at(static_cast<int>(XML_GetCurrentLineNumber(parser_))) +
                              "not well-formed XML: " + XML_ErrorString(XML_GetErrorCode(parser_)));
        }
        return std::move(keys_);
    }

private:
    std::string at(int line) const { return file_ + " line " + std::to_string(line) + ": "; }

    void stop(int line, const std::string& problem) {
        if (!problem_) problem_ = at(line) + problem;
        XML_StopParser(parser_, XML_FALSE);
    }

    int currentLine() const { return static_cast<int>(XML_GetCurrentLineNumber(parser_)); }

    static void onDoctype(void* self, const XML_Char*, const XML_Char*, const XML_Char*, int) {
        auto& reader = *static_cast<FileReader*>(self);
        reader.stop(reader.currentLine(), "a document type declaration is not allowed");
    }

    static void onDeclaration(void* self, const XML_Char*, const XML_Char* encoding, int) {
        auto& reader = *static_cast<FileReader*>(self);
        if (encoding && !equalsIgnoreCase(encoding, "UTF-8") &&
            !equalsIgnoreCase(encoding, "US-ASCII")) {
            reader.stop(reader.currentLine(),
                        std::string("the file is in ") + encoding + "; only UTF-8 files are read");
        }
    }

    static void onStart(void* self, const XML_Char* name, const XML_Char**) {
        static_cast<FileReader*>(self)->start(name);
    }
    static void onEnd(void* self, const XML_Char*) { --static_cast<FileReader*>(self)->depth_; }

    void start(std::string_view name) {
        int depth = depth_++;
        int line = currentLine();
        if (depth == 0) {
            if (name != "configuration") {
                stop(line, "the root element is <" + std::string(name) + ">, not <configuration>");
            }
            return;
        }
        if (depth == 1) {
            inProperties_ = name == "MBProperty";
            if (!inProperties_) ++report_->keysLeftOut["<" + std::string(name) + "> section"];
            return;
        }
        if (!inProperties_) return;
        auto attributes = tagAttributes(line);
        if (depth == 2) {
            RawKey key{std::string(name), line, {}, {}, {}};
            for (auto& attribute : attributes) {
                if (attribute.name == "Location") {
                    key.location = decode(attribute.raw);
                } else {
                    key.attributes.push_back(std::move(attribute));
                }
            }
            if (key.location.empty()) stop(line, "<" + key.element + "> has no Location");
            keys_.push_back(std::move(key));
            return;
        }
        if (depth == 3 && name == "Custom") {
            keys_.back().customs.push_back(std::move(attributes));
            return;
        }
        stop(line, "<" + std::string(name) + "> inside a key: a key holds only <Custom> elements");
    }

    // The attributes of the start tag the parser stands on, from the file's own
    // bytes: the parser gives attribute values with line breaks turned into
    // blanks, which would join the entries of a list.
    std::vector<RawAttribute> tagAttributes(int line) {
        auto offset = static_cast<size_t>(XML_GetCurrentByteIndex(parser_));
        auto length = static_cast<size_t>(XML_GetCurrentByteCount(parser_));
        std::string_view tag = bytes_.substr(offset, length);
        std::vector<RawAttribute> attributes;
        auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
        size_t i = 1;
        while (i < tag.size() && !isBlank(tag[i]) && tag[i] != '/' && tag[i] != '>') ++i;
        while (i < tag.size()) {
            while (i < tag.size() && isBlank(tag[i])) {
                if (tag[i] == '\n') ++line;
                ++i;
            }
            if (i >= tag.size() || tag[i] == '/' || tag[i] == '>') break;
            size_t nameStart = i;
            while (i < tag.size() && tag[i] != '=' && !isBlank(tag[i])) ++i;
            RawAttribute attribute{std::string(tag.substr(nameStart, i - nameStart)), {}, line};
            while (i < tag.size() && (isBlank(tag[i]) || tag[i] == '=')) {
                if (tag[i] == '\n') ++line;
                ++i;
            }
            if (i >= tag.size()) break;
            char quote = tag[i++];
            size_t valueStart = i;
            while (i < tag.size() && tag[i] != quote) {
                if (tag[i] == '\n') ++line;
                ++i;
            }
            attribute.raw = tag.substr(valueStart, i - valueStart);
            attributes.push_back(std::move(attribute));
            ++i;
        }
        return attributes;
    }

public:
    // The attribute's text with its references replaced; every line break,
    // written or referenced (&#xA;, &#xD;), becomes "\n".
    static std::string decode(std::string_view raw) {
        std::string text;
        for (size_t i = 0; i < raw.size(); ++i) {
            char c = raw[i];
            if (c == '\r') {
                if (i + 1 < raw.size() && raw[i + 1] == '\n') ++i;
                text += '\n';
                continue;
            }
            if (c != '&') {
                text += c;
                continue;
            }
            auto end = raw.find(';', i);
            auto name = raw.substr(i + 1, end - i - 1);
            i = end;
            if (name == "lt")
                text += '<';
            else if (name == "gt")
                text += '>';
            else if (name == "amp")
                text += '&';
            else if (name == "quot")
                text += '"';
            else if (name == "apos")
                text += '\'';
            else if (name.starts_with("#")) {
                bool hex = name.size() > 1 && (name[1] == 'x' || name[1] == 'X');
                auto digits = std::string(name.substr(hex ? 2 : 1));
                auto code = static_cast<uint32_t>(std::stoul(digits, nullptr, hex ? 16 : 10));
                if (code == '\r') {
                    // A referenced CR LF pair is one line break as well.
                    if (raw.substr(i + 1).starts_with("&#xA;") ||
                        raw.substr(i + 1).starts_with("&#10;")) {
                        continue;
                    }
                    code = '\n';
                }
                appendUtf8(text, code);
            }
        }
        return text;
    }

private:
    static void appendUtf8(std::string& text, uint32_t code) {
        automation::utf8::append(text, static_cast<char32_t>(code));
    }

    std::string_view bytes_;
    std::string file_;
    XML_Parser parser_ = nullptr;
    ImportReport* report_ = nullptr;
    int depth_ = 0;
    bool inProperties_ = false;
    std::optional<std::string> problem_;
    std::vector<RawKey> keys_;
};

// ---- Typing the values ----------------------------------------------------------

std::string trimmed(std::string_view text) {
    auto first = text.find_first_not_of(" \t\n");
    if (first == std::string_view::npos) return {};
    auto last = text.find_last_not_of(" \t\n");
    return std::string(text.substr(first, last - first + 1));
}

std::optional<uint32_t> decimal(std::string_view text) {
    auto digits = trimmed(text);
    if (digits.empty() || digits.size() > 10 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    auto value = std::stoull(digits);
    if (value > 0xFFFFFFFFull) return std::nullopt;
    return static_cast<uint32_t>(value);
}

// A list: one entry per line, blanks and tabs around an entry dropped, empty
// lines skipped.
json listEntries(const std::string& text) {
    auto entries = json::array();
    for (const auto& line : automation::split(text, "\n")) {
        auto entry = trimmed(line);
        if (!entry.empty()) entries.push_back(entry);
    }
    return entries;
}

class ValueTyper {
public:
    ValueTyper(std::string fileName, ImportReport& report)
        : file_(std::move(fileName)), report_(report) {}

    // Adds the property `name` of the text `text` (written at `line`) to
    // `properties`, typed by the schema.
    void add(json& properties, const std::string& name, const std::string& text, int line,
             const std::optional<std::string>& customType = std::nullopt, bool secure = false) {
        const auto* property = mb::findProperty(name);
        if (property && property->source != mb::PropertySource::Stored &&
            property->source != mb::PropertySource::Flag) {
            ++report_
                  .attributesLeftOut[property->source == mb::PropertySource::KeyClass
                                         ? "KeyType: the key's element gives its class"
                                         : "ServerState: a site's state follows ServerAutoStart"];
            return;
        }
        if (!property && equalsIgnoreCase(name, "AuthFlags")) {
            authFlags(properties, text, line);
            return;
        }
        bool otherSecret = std::any_of(std::begin(kOtherSecrets), std::end(kOtherSecrets),
                                       [&](auto secret) { return equalsIgnoreCase(secret, name); });
        auto storedName = property ? std::string(property->name) : name;
        if (properties.contains(storedName)) fail(line, name + " is given twice");
        if ((property && property->type == mb::PropertyType::Secret) ||
            (!property && (secure || otherSecret))) {
            // The file holds the value encrypted with the server's key: only
            // whether it changed can be told, by the digest of what is written.
            ++report_.secrets;
            properties[storedName] = {{"type", "secret"}, {"sha256", mb::secretDigest(text)}};
            return;
        }
        if (!property) {
            ++report_.keptUnknown;
            properties[storedName] = unknownValue(name, text, line, customType);
            return;
        }
        properties[storedName] = {{"type", mb::typeName(property->type)},
                                  {"value", typed(*property, text, line)}};
    }

    [[noreturn]] void fail(int line, const std::string& problem) const {
        throw ImportError(file_ + " line " + std::to_string(line) + ": " + problem);
    }

private:
    json typed(const mb::PropertyDefinition& property, const std::string& text, int line) {
        auto name = std::string(property.name);
        switch (property.type) {
            case mb::PropertyType::String: return text;
            case mb::PropertyType::List: return listEntries(text);
            case mb::PropertyType::Boolean: {
                auto word = trimmed(text);
                if (equalsIgnoreCase(word, "TRUE")) return true;
                if (equalsIgnoreCase(word, "FALSE")) return false;
                fail(line, name + " is TRUE or FALSE, not \"" + text + "\"");
            }
            case mb::PropertyType::Number: {
                auto flags = mb::flagsIn(property.name);
                if (!flags.empty()) return flagsValue(name, flags, text, line);
                if (auto number = decimal(text)) return *number;
                fail(line, name + " is a number from 0 to 4294967295, not \"" + text + "\"");
            }
            case mb::PropertyType::Secret: break;
        }
        return text;
    }

    // Flag names joined by "|" (blanks around them allowed), or a number.
    json flagsValue(const std::string& name, std::span<const mb::PropertyDefinition* const> flags,
                    const std::string& text, int line) {
        uint32_t value = 0;
        for (const auto& part : automation::split(text, "|")) {
            auto word = trimmed(part);
            if (auto number = decimal(word)) {
                value |= *number;
                continue;
            }
            auto flag = std::find_if(flags.begin(), flags.end(), [&](const auto* f) {
                return equalsIgnoreCase(f->name, word);
            });
            if (flag == flags.end()) {
                fail(line, name + ": \"" + word + "\" is not one of its flags or a number");
            }
            value |= (*flag)->mask;
        }
        return value;
    }

    // AuthFlags: the platform keeps anonymous, basic and integrated
    // authentication as Booleans; the other methods are left out.
    void authFlags(json& properties, const std::string& text, int line) {
        uint32_t value = 0;
        for (const auto& part : automation::split(text, "|")) {
            auto word = trimmed(part);
            auto bit =
                std::find_if(std::begin(kAuthBits), std::end(kAuthBits),
                             [&](const AuthBit& b) { return equalsIgnoreCase(b.name, word); });
            if (bit != std::end(kAuthBits)) {
                value |= bit->mask;
            } else if (auto number = decimal(word)) {
                value |= *number;
            } else {
                fail(line, "AuthFlags: \"" + word + "\" is not one of its flags or a number");
            }
        }
        uint32_t kept = 0;
        for (const auto& bit : kAuthBits) {
            if (!bit.kept) continue;
            kept |= bit.mask;
            properties[std::string(bit.name)] = {{"type", "boolean"},
                                                 {"value", (value & bit.mask) != 0}};
        }
        if (value & ~kept) {
            ++report_.attributesLeftOut["AuthFlags: methods other than anonymous, basic and NTLM"];
        }
    }

    // A property the schema does not know: a <Custom> property by its Type, an
    // attribute as its text.
    json unknownValue(const std::string& name, const std::string& text, int line,
                      const std::optional<std::string>& customType) {
        if (customType && equalsIgnoreCase(*customType, "DWORD")) {
            auto number = decimal(text);
            if (!number) fail(line, name + " is a DWORD, not \"" + text + "\"");
            return {{"type", "number"}, {"value", *number}};
        }
        if (customType && equalsIgnoreCase(*customType, "MULTISZ")) {
            return {{"type", "list"}, {"value", listEntries(text)}};
        }
        return {{"type", "string"}, {"value", text}};
    }

    std::string file_;
    ImportReport& report_;
};

// ---- The keys ---------------------------------------------------------------------

std::string keyPathOf(std::string location) {
    location = automation::replaceAll(location, "\\", "/");
    while (location.size() > 1 && location.back() == '/') location.pop_back();
    return location;
}

bool isBelow(std::string_view path, std::string_view top) {
    return path.size() > top.size() && path[top.size()] == '/' &&
           equalsIgnoreCase(path.substr(0, top.size()), top);
}

bool isDrivePath(std::string_view path) {
    return path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) &&
           path[1] == ':' && (path[2] == '\\' || path[2] == '/');
}

std::vector<std::string> pathNames(std::string_view path) {
    auto names = automation::split(path, "/");
    names.erase(names.begin());  // before the leading "/"
    return names;
}

}  // namespace

// ---- The report ------------------------------------------------------------------

json ImportReport::toJson() const {
    auto leftOut = [](const std::map<std::string, int>& counts) {
        auto list = json::array();
        for (const auto& [reason, count] : counts) {
            list.push_back({{"reason", reason}, {"count", count}});
        }
        return list;
    };
    return {{"computer", computer},
            {"keys", keys},
            {"sites", sites},
            {"virtualDirectories", virtualDirectories},
            {"applicationPools", applicationPools},
            {"secrets", secrets},
            {"keptUnknown", keptUnknown},
            {"accounts", accounts},
            {"folders", folders},
            {"keysLeftOut", leftOut(keysLeftOut)},
            {"attributesLeftOut", leftOut(attributesLeftOut)}};
}

std::string ImportReport::text() const {
    std::ostringstream out;
    out << "Imported " << keys << " keys for computer " << computer << ": " << sites << " sites, "
        << virtualDirectories << " virtual directories, " << applicationPools
        << " application pools\n";
    out << "Secrets kept without their text: " << secrets << "\n";
    out << "Properties the schema does not know, kept: " << keptUnknown << "\n";
    out << "Accounts made: " << accounts.size() << "\n";
    for (const auto& account : accounts) out << "  " << account << "\n";
    out << "Folders made: " << folders.size() << "\n";
    for (const auto& folder : folders) out << "  " << folder << "\n";
    auto leftOut = [&out](const char* what, const std::map<std::string, int>& counts) {
        if (counts.empty()) return;
        out << what << " left out:\n";
        for (const auto& [reason, count] : counts) out << "  " << count << " " << reason << "\n";
    };
    leftOut("Keys", keysLeftOut);
    leftOut("Attributes", attributesLeftOut);
    return out.str();
}

// ---- Reading ----------------------------------------------------------------------

ReadMetabase readMetabase(std::string_view bytes, const std::string& fileName) {
    ReadMetabase read;
    auto& report = read.report;
    auto rawKeys = FileReader(bytes, fileName).read(report);
    ValueTyper typer(fileName, report);

    // Every Location once, whatever key it names.
    std::map<std::string, const RawKey*> byPath;  // lower-case path
    for (const auto& key : rawKeys) {
        auto path = toLowerAscii(keyPathOf(key.location));
        if (!byPath.emplace(path, &key).second) {
            typer.fail(key.line, "the Location " + key.location +
                                     " is named twice (first on line " +
                                     std::to_string(byPath.at(path)->line) + ")");
        }
    }

    // Parents before children, in the file's order otherwise.
    std::vector<const RawKey*> ordered;
    for (const auto& key : rawKeys) ordered.push_back(&key);
    std::stable_sort(ordered.begin(), ordered.end(), [](const RawKey* a, const RawKey* b) {
        return std::count(a->location.begin(), a->location.end(), '/') <
               std::count(b->location.begin(), b->location.end(), '/');
    });

    std::map<std::string, const mb::KeyClass*> imported;  // lower-case path
    std::set<std::string> leftOut;                        // lower-case paths left out
    std::set<std::string> users, folders;                 // lower-case
    for (const auto* key : ordered) {
        auto path = keyPathOf(key->location);
        auto lower = toLowerAscii(path);
        auto parent = mb::parentKeyPath(path);
        bool service = equalsIgnoreCase(path, kWebService);
        if (!service && !isBelow(path, kWebService)) {
            ++report.keysLeftOut["outside " + std::string(kWebService) + ": " + key->element];
            continue;
        }
        if (!service && leftOut.contains(toLowerAscii(parent))) {
            leftOut.insert(lower);
            ++report.keysLeftOut["below a key left out"];
            continue;
        }
        for (const auto& name : pathNames(path)) {
            if (!mb::isValidKeyName(name)) {
                typer.fail(key->line, "the Location " + key->location + " has an empty key name");
            }
        }
        const auto* keyClass =
            mb::findClass(key->element == kGenericKey ? mb::classes::kObject : key->element);
        if (!keyClass || keyClass->name == mb::classes::kComputer) {
            leftOut.insert(lower);
            ++report.keysLeftOut["a class the platform does not model: " + key->element];
            continue;
        }
        const mb::KeyClass* parentClass = mb::findClass(mb::classes::kComputer);
        if (!service) {
            auto found = imported.find(toLowerAscii(parent));
            if (found == imported.end()) {
                typer.fail(key->line,
                           "the parent " + parent + " of " + path + " is not in the file");
            }
            parentClass = found->second;
        }
        if (!mb::mayContain(*parentClass, *keyClass)) {
            typer.fail(key->line, "a " + std::string(parentClass->name) + " cannot hold the " +
                                      std::string(keyClass->name) + " " + path);
        }
        imported.emplace(lower, keyClass);

        json properties = json::object();
        for (const auto& attribute : key->attributes) {
            typer.add(properties, attribute.name, FileReader::decode(attribute.raw),
                      attribute.line);
        }
        for (const auto& custom : key->customs) {
            std::optional<std::string> name, value, type;
            bool secure = false;
            int line = key->line;
            for (const auto& attribute : custom) {
                auto text = FileReader::decode(attribute.raw);
                if (attribute.name == "Name") name = text, line = attribute.line;
                if (attribute.name == "Value") value = text;
                if (attribute.name == "Type") type = text;
                if (attribute.name == "Attributes") {
                    secure = toLowerAscii(text).find("secure") != std::string::npos;
                }
            }
            if (!name || name->empty()) typer.fail(line, "a <Custom> property has no Name");
            typer.add(properties, *name, value.value_or(""), line, type ? type : "STRING", secure);
        }

        json entry = {{"path", path}, {"class", keyClass->name}};
        if (keyClass->name == mb::classes::kWebServer) {
            ++report.sites;
            bool autoStart = !properties.contains("ServerAutoStart") ||
                             properties["ServerAutoStart"]["value"] == true;
            entry["state"] = autoStart ? mb::kServerStarted : mb::kServerStopped;
        }
        if (keyClass->name == mb::classes::kWebVirtualDir) ++report.virtualDirectories;
        if (keyClass->name == mb::classes::kApplicationPool) ++report.applicationPools;

        if (properties.contains("AnonymousUserName")) {
            auto user = properties["AnonymousUserName"]["value"].get<std::string>();
            if (!user.empty() && users.insert(toLowerAscii(user)).second) {
                read.anonymousUsers.push_back(user);
            }
            if (service && toLowerAscii(user).starts_with("iusr_") && user.size() > 5) {
                read.serviceComputer = user.substr(5);
            }
        }
        if (properties.contains("Path")) {
            auto folder = properties["Path"]["value"].get<std::string>();
            if (!isDrivePath(folder)) {
                ++report.attributesLeftOut["Path: not a folder on a drive, not made"];
            } else if (folders.insert(toLowerAscii(folder)).second) {
                read.folders.push_back(folder);
            }
            if (equalsIgnoreCase(path, "/LM/W3SVC/1/ROOT") && isDrivePath(folder)) {
                read.defaultRoot = folder;
            }
        }
        entry["properties"] = std::move(properties);
        read.keys.push_back(std::move(entry));
        ++report.keys;
    }
    if (imported.empty()) {
        throw ImportError(fileName + " line 1: the file holds no web service key (" +
                          std::string(kWebService) + ")");
    }
    return read;
}

// ---- The platform around the keys -------------------------------------------------

namespace {

// A folder path in the platform's form: back slashes, a drive letter in upper
// case, no trailing back slash.
std::string folderPath(std::string path) {
    path = automation::replaceAll(path, "/", "\\");
    path[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(path[0])));
    while (path.size() > 3 && path.back() == '\\') path.pop_back();
    return path;
}

}  // namespace

MetabaseImport importMetabase(std::string_view bytes, const std::string& fileName,
                              const std::optional<std::string>& computer) {
    auto read = readMetabase(bytes, fileName);
    auto& report = read.report;

    embedded::PlatformSettings settings;
    settings.iisVersion = 6;
    if (computer) {
        settings.computerName = *computer;
    } else if (read.serviceComputer) {
        settings.computerName = *read.serviceComputer;
    } else {
        throw ImportError(fileName +
                          ": the web service names no IUSR_ account that tells the computer; "
                          "give --computer");
    }
    std::string drives = "C";
    for (const auto& folder : read.folders) {
        char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(folder[0])));
        if (drives.find(letter) == std::string::npos) drives += letter;
    }
    std::sort(drives.begin(), drives.end());
    settings.drives = drives;
    if (read.defaultRoot) settings.masterSiteRoot = folderPath(*read.defaultRoot);
    if (auto problem = embedded::findSettingsProblem(settings)) {
        throw ImportError(fileName + ": the imported " + problem->field +
                          " cannot be used: " + problem->message);
    }
    report.computer = settings.computerName;

    // A fresh platform of that computer, with the file's keys in place of its own.
    auto platform = embedded::EmbeddedPlatform::inMemory(settings);
    auto document = platform->dump();
    document["metabase"] = {{"keys", std::move(read.keys)}};

    auto& users = document["accounts"]["users"];
    std::set<std::string> existing;
    for (const auto& user : users)
        existing.insert(toLowerAscii(user.at("name").get<std::string>()));
    for (auto name : read.anonymousUsers) {
        // A local account may be named with the computer's name before it
        // (as the panel writes it); any other prefix names a domain.
        auto prefix = toLowerAscii(settings.computerName) + "\\";
        if (toLowerAscii(name).starts_with(prefix)) name = name.substr(prefix.size());
        if (name.find('\\') != std::string::npos || name.find('@') != std::string::npos) {
            ++report.attributesLeftOut["AnonymousUserName: a domain account, not made"];
            continue;
        }
        if (!existing.insert(toLowerAscii(name)).second) continue;
        json user = {{"name", name}, {"passwordSet", false}};
        if (toLowerAscii(name).starts_with("tarn_")) user["groups"] = {"Guests"};
        users.push_back(std::move(user));
        report.accounts.push_back(name);
    }

    auto& files = document["files"];
    std::set<std::string> present;
    for (const auto& folder : files["folders"]) {
        present.insert(toLowerAscii(folder.at("path").get<std::string>()));
    }
    auto& driveList = files["drives"];
    for (char letter : settings.drives) {
        std::string drive(1, letter);
        if (std::find(driveList.begin(), driveList.end(), drive) == driveList.end()) {
            driveList.push_back(drive);
            present.insert(toLowerAscii(drive + ":\\"));
        }
    }
    for (const auto& given : read.folders) {
        auto path = folderPath(given);
        std::string prefix = path.substr(0, 2);
        for (const auto& name : automation::split(path.substr(3), "\\")) {
            prefix += "\\" + name;
            if (!present.insert(toLowerAscii(prefix)).second) continue;
            files["folders"].push_back(prefix);
            report.folders.push_back(prefix);
        }
    }
    document["settings"]["drives"] = settings.drives;

    return {std::move(document), std::move(report)};
}

ImportReport importIntoState(std::string_view bytes, const std::string& fileName,
                             const std::optional<std::string>& computer,
                             const std::filesystem::path& folder, bool replace) {
    namespace fs = std::filesystem;
    if (!replace && embedded::Store::holdsPlatform(folder)) {
        throw ImportError("a platform already exists in " + folder.string() +
                          " (use --force to replace it)");
    }
    auto imported = importMetabase(bytes, fileName, computer);
    auto refused = [&](const embedded::LoadError& error) {
        return ImportError(fileName + ": the imported state cannot be used: " + error.what());
    };
    if (embedded::Store::holdsPlatform(folder)) {
        // A platform to replace: the document is tried on one in memory first,
        // so that a document the platform refuses leaves the folder as it was.
        try {
            embedded::EmbeddedPlatform::inMemory()->load(imported.document);
        } catch (const embedded::LoadError& error) {
            throw refused(error);
        }
        embedded::EmbeddedPlatform::initialize(folder, {}, true)->load(imported.document);
        return std::move(imported.report);
    }
    // No platform yet: one that cannot take the document is removed again,
    // with every file it made.
    std::error_code error;
    std::set<fs::path> before;
    bool folderExisted = fs::exists(folder, error);
    if (folderExisted) {
        for (const auto& entry : fs::directory_iterator(folder)) before.insert(entry.path());
    }
    try {
        embedded::EmbeddedPlatform::initialize(folder, {}, false)->load(imported.document);
    } catch (const embedded::LoadError& loadError) {
        if (!folderExisted) {
            fs::remove_all(folder, error);
        } else {
            for (const auto& entry : fs::directory_iterator(folder)) {
                if (!before.contains(entry.path())) fs::remove_all(entry.path(), error);
            }
        }
        throw refused(loadError);
    }
    return std::move(imported.report);
}

// ---- The command ------------------------------------------------------------------

void addPlatformImportCommand(CLI::App& platform,
                              std::function<std::filesystem::path()> stateFolder, int& exitCode) {
    struct Options {
        std::string file, computer;
        bool force = false, json = false;
    };
    auto options = std::make_shared<Options>();
    auto* command = platform.add_subcommand(
        "import",
        "Make a fresh embedded platform (IIS 6) from a server's MetaBase.xml: its web sites, "
        "virtual directories and application pools, the anonymous accounts they name and the "
        "folders their paths name. Secure values are kept as secrets whose text is never shown. "
        "A file that cannot be imported changes nothing (exit code 1).");
    command->add_option("--metabase", options->file, "The MetaBase.xml file")->required();
    command->add_option("--computer", options->computer,
                        "The computer's name (else the one in the web service's IUSR_ account)");
    command->add_flag("--force", options->force, "Replace an existing platform in the folder");
    command->add_flag("--json", options->json, "Print the report as JSON");
    command->callback([options, stateFolder, &exitCode] {
        auto folder = stateFolder();
        auto refuse = [&exitCode](const std::string& message) {
            std::cerr << "tarnwick: " << message << "\n";
            exitCode = 1;
        };
        std::ifstream in(options->file, std::ios::binary);
        if (!in) return refuse("cannot read " + options->file);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        try {
            auto computer =
                options->computer.empty() ? std::nullopt : std::optional(options->computer);
            auto report = importIntoState(bytes, options->file, computer, folder, options->force);
            std::cout << (options->json ? report.toJson().dump(2) + "\n" : report.text());
        } catch (const ImportError& error) {
            refuse(error.what());
        }
    });
}

}  // namespace tarnwick::cli
