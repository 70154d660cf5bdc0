// The installer's view of the embedded platform: the platform's services and
// objects, with GetComputerNameA, the program's folder, Shell and
// SQLConfigDataSource answered by the system part.
//
//   EmbeddedSetupSystem system(platform->services(), platform->objects(), platform->system());
//   RecordingFormView view;
//   installer::SetupForm form(system, view);
#pragma once

#include <memory>

#include "installer/setup_system.h"
#include "platform/embedded/asp_page.h"
#include "platform/embedded/system/embedded_system.h"
#include "platform/services.h"

namespace tarnwick::platform::embedded::system {

class EmbeddedSetupSystem : public installer::SetupSystem {
public:
    EmbeddedSetupSystem(Services services, ObjectFactory objects,
                        std::shared_ptr<EmbeddedSystem> system)
        : services_(std::move(services)),
          objects_(std::move(objects)),
          system_(std::move(system)) {}

    Directory& directory() override { return *services_.directory; }
    Advapi32& advapi32() override { return *services_.advapi32; }
    RandomSource& random() override { return *services_.random; }
    AnsiCodePage& ansi() override { return *services_.ansi; }
    automation::ObjectRef createObject(std::string_view progId) override;
    bool GetComputerNameA(char* buffer, uint32_t* size) override;
    std::string programFolder() override { return system_->installerFolder(); }
    void shell(std::string_view commandLine, int windowStyle) override {
        system_->startProcess(commandLine, windowStyle);
    }
    bool SQLConfigDataSource(void* parentWindow, uint16_t request, const char* driver,
                             const char* attributes) override;

private:
    Services services_;
    ObjectFactory objects_;
    std::shared_ptr<EmbeddedSystem> system_;
};

}  // namespace tarnwick::platform::embedded::system
