// The installer window on a fresh in-memory embedded platform (computer
// WEBHOST, IIS 6, drives C: and D:, the panel's distribution in C:\Setup and
// Serv-U in C:\Program Files\Serv-U), with every caption and message box
// recorded.
#pragma once

#include <gtest/gtest.h>

#include "automation/error.h"
#include "installer/form.h"
#include "installer/messages.h"
#include "platform/embedded/embedded_platform.h"
#include "platform/embedded/files/file_system.h"
#include "platform/embedded/system/embedded_setup_system.h"
#include "platform/embedded/system/recording_form_view.h"

namespace tarnwick::testing {

namespace embedded = platform::embedded;
namespace msg = installer::messages;
using Kind = embedded::system::FormEvent::Kind;

inline constexpr const char* kServU = "C:\\Program Files\\Serv-U";

// One machine with the installer window on it; a test may make several.
class InstallerMachine {
public:
    explicit InstallerMachine(int iisVersion = 6) : platform(makePlatform(iisVersion)) {}

    std::unique_ptr<embedded::EmbeddedPlatform> platform;
    embedded::system::EmbeddedSetupSystem system{platform->services(), platform->objects(),
                                                 platform->system()};
    embedded::system::RecordingFormView view;
    installer::SetupForm form{system, view};

    static std::unique_ptr<embedded::EmbeddedPlatform> makePlatform(int iisVersion = 6) {
        embedded::PlatformSettings settings;
        settings.computerName = "WEBHOST";
        settings.iisVersion = iisVersion;
        return embedded::EmbeddedPlatform::inMemory(settings);
    }

    // Form_Load, then a complete and valid set of fields.
    void fillIn() {
        form.Form_Load();
        form.fields.Text2 = "panel.test";
        form.fields.Text3 = "D:\\Panel";
        form.fields.Text4 = "PanelPool";
        form.fields.Text5 = kServU;
        form.fields.Text6 = "my.mdb";
        form.fields.Text7 = "paneldsn";
    }

    std::vector<std::string> captions() const { return view.texts(Kind::Caption); }
    std::vector<std::string> messages() const { return view.texts(Kind::MessageBox); }

    // The raw bytes of a file on the embedded drives.
    std::string bytes(std::string_view path) {
        return embedded::files::FileSystem(platform->sharedStore()).readFile(path);
    }
    void makeFolder(std::string_view path) {
        embedded::files::FileSystem(platform->sharedStore()).createFolder(path);
    }
    void writeFile(std::string_view path, std::string_view content) {
        embedded::files::FileSystem(platform->sharedStore())
            .writeFile(path, content, embedded::files::WriteMode::Replace);
    }
    bool exists(std::string_view path) {
        return embedded::files::FileSystem(platform->sharedStore()).find(path).has_value();
    }
    bool accountExists(const std::string& name) {
        try {
            platform->services().directory->bind("WinNT://WEBHOST/" + name + ",user");
            return true;
        } catch (const automation::AutomationError&) {
            return false;
        }
    }
    void inject(std::string member, std::string path, int32_t number, bool once = true) {
        platform->faults().add({std::move(member), std::move(path), number, once});
    }
};

class InstallerFixture : public ::testing::Test, public InstallerMachine {};

}  // namespace tarnwick::testing
