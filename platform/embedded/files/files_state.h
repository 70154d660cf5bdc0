// The drives in the platform's state document (`tarnwick platform dump` and
// `load`), under the key "files".
//
// Dump writes the exact form:
//   {"drives": ["C", "D"],
//    "folders": [{"path": "C:\\", "attributes": 22, "owner": "BA", "group": "SY",
//                 "control": "0x8004", "dacl": "D:(A;OICI;FA;;;BA)...",
//                 "dacl_hex": "02007400..."}, ...],
//    "files": {"C:\\Inetpub\\wwwroot\\a.htm": {"text": "...", "attributes": 32, ...}}}
// Folders come parents first. A file's content is "text" when its bytes are
// printable UTF-8, else "ansi" when they are printable text in the
// platform's ANSI code page (the text files the system writes), else
// "base64". "dacl" shows the DACL in SDDL for people; "dacl_hex", "control",
// "owner" and "group" restore the descriptor byte for byte.
//
// Load takes that form, or a compact one written by hand:
//   {"folders": ["D:\\Web"], "files": {"D:\\Web\\a.htm": "hello"}}
// Without "drives" the document adds to a fresh platform: drive C: with its
// system folders, plus every drive its paths name. With "drives" it is the
// whole state: only those drives (C among them) and the listed entries. A
// folder or file with no security given inherits from its parent; "dacl"
// (SDDL) or "dacl_hex" sets its DACL. Every folder that holds a listed entry
// must exist or be listed. Errors raise LoadError with the JSON path.
#pragma once

#include <memory>

#include "platform/embedded/files/file_system.h"
#include "platform/embedded/state_module.h"

namespace tarnwick::platform::embedded::files {

class FilesState : public StateModule {
public:
    explicit FilesState(std::shared_ptr<FileSystem> files) : files_(std::move(files)) {}

    std::string_view name() const override { return "files"; }
    nlohmann::json dump() override;
    void load(const nlohmann::json& document) override;

private:
    std::shared_ptr<FileSystem> files_;
};

}  // namespace tarnwick::platform::embedded::files
