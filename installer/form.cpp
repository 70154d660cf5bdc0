#include "installer/form.h"

#include "automation/text.h"
#include "installer/computer_name.h"
#include "installer/create_directory.h"
#include "installer/install_log.h"
#include "installer/messages.h"
#include "installer/metabase_sites.h"
#include "installer/setup.h"
#include "toolkit/app_pools.h"
#include "toolkit/site_folders.h"
#include "toolkit/steps.h"

namespace tarnwick::installer {

namespace {

constexpr int kForReading = 1;

// Characters, not bytes: the fields are UTF-8.
size_t characterCount(std::string_view text) {
    size_t count = 0;
    for (unsigned char c : text) count += (c & 0xC0) != 0x80;
    return count;
}

// Whether the text comes back unchanged from the ANSI code page: a character
// outside it becomes "?" or a look-alike there.
bool fitsCodePage(platform::AnsiCodePage& ansi, std::string_view text) {
    automation::ErrorState err;
    auto back = err.attempt([&] { return ansi.toUtf8(ansi.fromUtf8(text)); });
    return back && *back == text;
}

// A data source name ODBC takes (SQLValidDSN): at most 32 characters, none of
// its reserved ones; nor a control character or "|", which would break the
// lines and fields of ServUDaemon.txt that name it, nor only blanks.
bool isDataSourceName(std::string_view name) {
    constexpr std::string_view kReserved = "[]{}(),;?*=!@\\|";
    if (characterCount(name) > kMaxDataSourceNameLength) return false;
    for (unsigned char c : name) {
        if (c < 0x20 || c == 0x7F || kReserved.find(static_cast<char>(c)) != kReserved.npos) {
            return false;
        }
    }
    return !automation::trimBlanks(name).empty();
}

// Whether the Serv-U folder holds a ServUDaemon.ini that can be opened; the
// file is only opened for reading and closed again.
bool servUConfigurationReadable(SetupSystem& system, const std::string& folder) {
    automation::ErrorState err;
    auto fileSystem = toolkit::objectStep(err, [&] {
        return automation::Variant(system.createObject("Scripting.FileSystemObject"));
    });
    auto stream = toolkit::objectStep(err, [&] {
        return toolkit::use(fileSystem)
            .call("OpenTextFile", {folder + "\\ServUDaemon.ini", kForReading});
    });
    if (!stream) return false;
    err.attempt([&] { stream->call("Close"); });
    return true;
}

}  // namespace

void SetupForm::ShowErr(std::string_view message) { view_.setCaption(message); }

void SetupForm::Form_Load() {
    view_.setCaption(messages::kWindowCaption);
    fields.Text1 = GetLocalComputerName(system_);
    fields.Text2 = "";
    fields.Text3 = "";
    fields.Text5 = messages::kChooseFolderPrompt;
    fields.Text6 = "data.mdb";
    fields.Text7 = "tarnwick";
}

std::optional<std::string_view> SetupForm::inputError() const {
    const auto& f = fields;
    for (const auto* text : {&f.Text1, &f.Text2, &f.Text3, &f.Text5, &f.Text6, &f.Text7}) {
        if (text->empty()) return messages::kFillInAgain;
    }
    if (f.Text5 == messages::kChooseFolderPrompt) return messages::kChooseServU;
    if (characterCount(f.Text2) > kMaxDomainLength) return messages::kDomainTooLong;
    if (f.Text2.find('.') == std::string::npos) return messages::kDomainInvalid;
    if (!fitsCodePage(system_.ansi(), f.Text2)) return messages::kDomainOutsideCodePage;
    // The install log joins these with ";".
    for (const auto* logged : {&f.Text2, &f.Text3, &f.Text7}) {
        if (logged->find(';') != std::string::npos) return messages::kNoSemicolons;
    }
    // The uninstallation removes the site folder with everything in it, and
    // the database is copied and deleted in the site's Data folder by name.
    if (!mayHoldMasterSite(system_, f.Text3)) return messages::kFolderNotAllowed;
    if (!toolkit::isPlainFileName(f.Text6)) return messages::kDatabaseNameInvalid;
    if (!isDataSourceName(f.Text7) || !fitsCodePage(system_.ansi(), f.Text7)) {
        return messages::kDataSourceNameInvalid;
    }
    // Last, as it reads the metabase: the folder keeps apart from every site.
    auto roots = siteRootFolders(system_.directory(), f.Text1);
    if (!roots) return messages::kSitesUnreadable;
    if (!mayHoldMasterSite(system_, f.Text3, *roots)) return messages::kFolderOfAnotherSite;
    return std::nullopt;
}

bool SetupForm::Command1_Click() {
    // The input checks, before anything is made.
    const FormFields values = fields;
    if (auto error = inputError()) {
        ShowErr(*error);
        return false;
    }
    // The pool's name becomes a metabase key.
    if (!values.Text4.empty() && !toolkit::isPoolName(values.Text4)) {
        view_.messageBox(messages::kPoolNameInvalid);
        return false;
    }
    // The Serv-U folder must hold its configuration.
    if (!servUConfigurationReadable(system_, values.Text5)) {
        view_.messageBox(messages::kWrongServUFolder);
        return false;
    }
    // The site folder. Whether it is new decides whether a stopped
    // installation removes it; a folder whose presence cannot be told counts
    // as one that was there.
    automation::ErrorState err;
    auto fileSystem = toolkit::objectStep(err, [&] {
        return automation::Variant(system_.createObject("Scripting.FileSystemObject"));
    });
    automation::ErrorState presence;
    auto existed = presence.attempt([&] {
        return automation::toBoolean(toolkit::use(fileSystem).call("FolderExists", {values.Text3}));
    });
    std::string failure = fileSystem ? CreateDirectory(*fileSystem, values.Text3)
                                     : automation::toText(err.description());
    if (!failure.empty()) ShowErr(std::string(messages::kFolderNotCreated) + failure);
    // The installation.
    return Setup(system_, [this](std::string_view message) { ShowErr(message); },
                 {values.Text1, values.Text2, values.Text3, values.Text4, values.Text7,
                  values.Text6, values.Text5, existed && !*existed});
}

void SetupForm::Command2_Click() {
    auto chosen = view_.browseForFolder(messages::kFolderPickerTitle, kOnlyFileSystemFolders);
    if (chosen) fields.Text5 = TrimAtNull(*chosen);
}

bool SetupForm::Command3_Click() { return Uninstall(system_, view_); }

void SetupForm::Label_Click(int label) {
    switch (label) {
        case 2: view_.messageBox(messages::kDomainHelp); break;
        case 3: view_.messageBox(messages::kFolderHelp); break;
        case 4: view_.messageBox(messages::kPoolHelp); break;
        case 5: view_.messageBox(messages::kServUHelp); break;
        case 6: view_.shellExecute("open", messages::kMakerAddress, "", "", kShowNormally); break;
        case 7: view_.messageBox(messages::kDatabaseHelp); break;
        case 8: view_.messageBox(messages::kDataSourceHelp); break;
        default: break;  // Label1 has no click action
    }
}

}  // namespace tarnwick::installer
