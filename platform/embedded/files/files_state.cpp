#include "platform/embedded/files/files_state.h"

#include <algorithm>
#include <set>

#include "automation/text.h"
#include "platform/embedded/files/ansi_code_page.h"
#include "platform/embedded/files/base64.h"
#include "platform/embedded/files/hex.h"
#include "platform/embedded/files/sddl.h"
#include "platform/embedded/files/security_document.h"
#include "platform/embedded/files/unicode.h"

namespace tarnwick::platform::embedded::files {

namespace {

using nlohmann::json;

// The code page for "ansi" contents; none when the C library lacks it.
std::unique_ptr<IconvCodePage> codePageOf(Store& store) {
    try {
        return std::make_unique<IconvCodePage>(static_cast<unsigned>(store.settings().codePage));
    } catch (const CodePageError&) {
        return nullptr;
    }
}

void putContent(json& out, const std::string& bytes, AnsiCodePage* ansi) {
    if (isPrintableUtf8(bytes)) {
        out["text"] = bytes;
        return;
    }
    if (ansi) {
        auto text = ansi->toUtf8(bytes);
        if (isPrintableUtf8(text) && ansi->fromUtf8(text) == bytes) {
            out["ansi"] = text;
            return;
        }
    }
    out["base64"] = base64Encode(bytes);
}

// ---- Loading -----------------------------------------------------------------

[[noreturn]] void loadError(const std::string& where, const std::string& what) {
    throw LoadError(where + ": " + what);
}

std::string keyPath(const std::string& key) { return "files.files[" + json(key).dump() + "]"; }

class Loader {
public:
    Loader(FileSystem& files, const json& document) : files_(files), document_(document) {}

    void run() {
        if (!document_.is_object()) loadError("files", "must be an object");
        for (const auto& [key, value] : document_.items()) {
            if (key != "drives" && key != "folders" && key != "files") {
                loadError("files." + key, "unknown key (drives, folders, files)");
            }
        }
        EntryTable(files_.store().db()).removeAll();
        exact_ = document_.contains("drives");
        if (exact_)
            loadDrives();
        else
            files_.addSystemFolders();
        loadFolders();
        loadFiles();
    }

private:
    struct Listed {
        std::string where;
        FilePath path;
        const json* properties;  // null for a bare path
    };

    void loadDrives() {
        const auto& drives = document_.at("drives");
        if (!drives.is_array()) loadError("files.drives", "must be a list of drive letters");
        for (size_t i = 0; i < drives.size(); ++i) {
            auto where = "files.drives[" + std::to_string(i) + "]";
            if (!drives[i].is_string()) loadError(where, "must be a drive letter");
            auto text = drives[i].get<std::string>();
            auto letter = driveLetterOf(text.size() == 1 ? text + ":" : text);
            if (!letter || text.size() > 3)
                loadError(where, "\"" + text + "\" is not a drive letter");
            drives_.insert(*letter);
        }
        if (!drives_.count('C')) loadError("files.drives", "drive C must be present");
        for (char letter : drives_) files_.addDrive(letter);
    }

    FilePath pathOf(const std::string& where, const std::string& text) {
        auto parsed = parseFilePath(text);
        if (!parsed.path) loadError(where, "\"" + text + "\" is not an absolute path");
        if (exact_ && !drives_.count(parsed.path->drive)) {
            loadError(where, std::string("drive ") + parsed.path->drive + ": is not in drives");
        }
        if (!exact_) files_.addDrive(parsed.path->drive);
        auto key = automation::toUpperAscii(parsed.path->text());
        if (!listed_.insert(key).second) loadError(where, "\"" + text + "\" is listed twice");
        return *parsed.path;
    }

    void loadFolders() {
        if (!document_.contains("folders")) return;
        const auto& folders = document_.at("folders");
        if (!folders.is_array()) loadError("files.folders", "must be a list");
        std::vector<Listed> listed;
        for (size_t i = 0; i < folders.size(); ++i) {
            auto where = "files.folders[" + std::to_string(i) + "]";
            const auto& item = folders[i];
            if (item.is_string()) {
                listed.push_back({where, pathOf(where, item.get<std::string>()), nullptr});
            } else if (item.is_object() && item.contains("path") && item.at("path").is_string()) {
                checkKeys(where, item, false);
                listed.push_back(
                    {where, pathOf(where + ".path", item.at("path").get<std::string>()), &item});
            } else {
                loadError(where, "must be a path or an object with \"path\"");
            }
        }
        // Parents before children, whatever order the document lists them in.
        std::stable_sort(listed.begin(), listed.end(), [](const Listed& a, const Listed& b) {
            return a.path.names.size() < b.path.names.size();
        });
        for (const auto& folder : listed) {
            auto text = folder.path.text();
            if (!files_.folderExists(text)) {
                try {
                    files_.createFolder(text);
                } catch (const FileError& error) {
                    loadError(folder.where, problem(error, folder.path));
                }
            }
            if (folder.properties) applyProperties(folder.where, text, *folder.properties);
        }
    }

    void loadFiles() {
        if (!document_.contains("files")) return;
        const auto& files = document_.at("files");
        if (!files.is_object()) loadError("files.files", "must be an object of path: content");
        for (const auto& [key, value] : files.items()) {
            auto where = keyPath(key);
            auto path = pathOf(where, key);
            std::string content;
            if (value.is_string()) {
                content = value.get<std::string>();
            } else if (value.is_object()) {
                checkKeys(where, value, true);
                content = contentOf(where, value);
            } else {
                loadError(where, "must be the file's text or an object");
            }
            try {
                files_.writeFile(path.text(), content, WriteMode::CreateNew);
            } catch (const FileError& error) {
                loadError(where, problem(error, path));
            }
            if (value.is_object()) applyProperties(where, path.text(), value);
        }
    }

    static std::string problem(const FileError& error, const FilePath& path) {
        switch (error.kind()) {
            case FileErrorKind::PathNotFound:
                return "the folder " + path.parent().text() + " does not exist";
            case FileErrorKind::AlreadyExists:
            case FileErrorKind::AccessDenied: return path.text() + " is already a folder";
            default: return error.what();
        }
    }

    static void checkKeys(const std::string& where, const json& item, bool file) {
        static const std::set<std::string> kCommon = {"attributes", "owner", "group",
                                                      "control",    "dacl",  "dacl_hex"};
        for (const auto& [key, value] : item.items()) {
            bool known =
                kCommon.count(key) ||
                (file ? (key == "text" || key == "ansi" || key == "base64") : key == "path");
            if (!known) loadError(where + "." + key, "unknown key");
        }
    }

    std::string contentOf(const std::string& where, const json& item) {
        int forms = item.contains("text") + item.contains("ansi") + item.contains("base64");
        if (forms > 1) loadError(where, "give one of \"text\", \"ansi\" and \"base64\"");
        for (const char* key : {"text", "ansi", "base64"}) {
            if (item.contains(key) && !item.at(key).is_string()) {
                loadError(where + "." + key, "must be a string");
            }
        }
        if (item.contains("text")) return item.at("text").get<std::string>();
        if (item.contains("base64")) {
            auto bytes = base64Decode(item.at("base64").get<std::string>());
            if (!bytes) loadError(where + ".base64", "not base64");
            return *bytes;
        }
        if (item.contains("ansi")) {
            if (!ansi_) ansi_ = codePageOf(files_.store());
            if (!ansi_) loadError(where + ".ansi", "the platform's code page is not available");
            return ansi_->fromUtf8(item.at("ansi").get<std::string>());
        }
        return {};
    }

    static Bytes sidField(const std::string& where, const json& value) {
        if (!value.is_string()) loadError(where, "must be a SID or an alias");
        auto sid = sidFromSddl(value.get<std::string>());
        if (!sid) loadError(where, "\"" + value.get<std::string>() + "\" is not a SID");
        return *sid;
    }

    static uint16_t controlField(const std::string& where, const json& value) {
        int64_t number = -1;
        if (value.is_number_integer()) {
            number = value.get<int64_t>();
        } else if (value.is_string()) {
            auto text = value.get<std::string>();
            if (text.rfind("0x", 0) == 0 || text.rfind("0X", 0) == 0) text = text.substr(2);
            auto bytes = fromHex(text.size() % 2 ? "0" + text : text);
            if (bytes && bytes->size() <= 2) {
                number = 0;
                for (uint8_t byte : *bytes) number = number * 256 + byte;
            }
        }
        if (number < 0 || number > 0xFFFF) loadError(where, "must be a 16-bit control word");
        return static_cast<uint16_t>(number);
    }

    void applyProperties(const std::string& where, const std::string& path, const json& item) {
        if (item.contains("attributes")) {
            const auto& value = item.at("attributes");
            if (!value.is_number_integer() || value.get<int64_t>() < 0 ||
                value.get<int64_t>() > 0xFFFFFFFF) {
                loadError(where + ".attributes", "must be a number");
            }
            files_.setAttributes(path, static_cast<uint32_t>(value.get<int64_t>()));
        }
        bool security = false;
        for (const char* key : {"owner", "group", "control", "dacl", "dacl_hex"}) {
            security = security || item.contains(key);
        }
        if (!security) return;
        auto descriptor = *parseSelfRelative(files_.securityDescriptor(path));
        if (item.contains("owner")) descriptor.owner = sidField(where + ".owner", item.at("owner"));
        if (item.contains("group")) descriptor.group = sidField(where + ".group", item.at("group"));
        if (item.contains("dacl_hex")) {
            const auto& value = item.at("dacl_hex");
            auto bytes = value.is_string() ? fromHex(value.get<std::string>()) : std::nullopt;
            if (!bytes) loadError(where + ".dacl_hex", "not hexadecimal bytes");
            auto acl = parseAcl(*bytes);
            if (!acl || acl->size != bytes->size()) {
                loadError(where + ".dacl_hex", "not an access-control list");
            }
            descriptor.dacl = std::move(*bytes);
            descriptor.control |= control::kDaclPresent;
        } else if (item.contains("dacl")) {
            const auto& value = item.at("dacl");
            std::string error = "must be a string";
            auto parsed =
                value.is_string() ? daclFromSddl(value.get<std::string>(), error) : std::nullopt;
            if (!parsed) loadError(where + ".dacl", error);
            descriptor.dacl = parsed->dacl;
            descriptor.control = static_cast<uint16_t>((descriptor.control & ~control::kDaclBits) |
                                                       control::kDaclPresent | parsed->controlBits);
        }
        if (item.contains("control")) {
            descriptor.control = controlField(where + ".control", item.at("control"));
        }
        descriptor.control |= control::kSelfRelative;
        files_.setSecurityDescriptor(path, toSelfRelative(descriptor));
    }

    FileSystem& files_;
    const json& document_;
    bool exact_ = false;
    std::set<char> drives_;
    std::set<std::string> listed_;
    std::unique_ptr<IconvCodePage> ansi_;
};

}  // namespace

json FilesState::dump() {
    auto& db = files_->store().db();
    EntryTable table(db);
    auto ansi = codePageOf(files_->store());
    json drives = json::array();
    json folders = json::array();
    json files = json::object();

    // Parents first: a walk from each root.
    std::vector<std::pair<EntryRow, FilePath>> pending;
    auto roots = table.roots();
    for (auto it = roots.rbegin(); it != roots.rend(); ++it) {
        drives.insert(drives.begin(), std::string(1, it->name.front()));
        pending.emplace_back(*it, FilePath{it->name.front(), {}});
    }
    while (!pending.empty()) {
        auto [row, path] = std::move(pending.back());
        pending.pop_back();
        json item = securityDocument(table.security(row.id));
        item["attributes"] = row.attributes;
        if (row.folder) {
            item["path"] = path.text();
            folders.push_back(std::move(item));
            auto children = table.children(row.id);
            for (auto it = children.rbegin(); it != children.rend(); ++it) {
                pending.emplace_back(*it, path.child(it->name));
            }
        } else {
            putContent(item, table.content(row.id), ansi.get());
            files[path.text()] = std::move(item);
        }
    }
    return {{"drives", drives}, {"folders", folders}, {"files", files}};
}

void FilesState::load(const json& document) { Loader(*files_, document).run(); }

}  // namespace tarnwick::platform::embedded::files
