// A page of the master control site on a fresh in-memory embedded platform,
// with a Control object created on it and started, as the web server does.
#pragma once

#include <gtest/gtest.h>

#include "automation/error.h"
#include "component/control_object.h"
#include "component/error_page.h"
#include "platform/embedded/asp_page.h"
#include "platform/embedded/embedded_platform.h"

namespace tarnwick::testing {

using automation::Variant;

class PlatformFixture : public ::testing::Test {
protected:
    std::unique_ptr<platform::embedded::EmbeddedPlatform> platform = makePlatform();
    std::shared_ptr<platform::embedded::EmbeddedPage> page;
    std::unique_ptr<component::ControlObject> object;

    virtual std::unique_ptr<platform::embedded::EmbeddedPlatform> makePlatform() {
        platform::embedded::PlatformSettings settings;
        settings.computerName = "WEBHOST";
        return platform::embedded::EmbeddedPlatform::inMemory(settings);
    }

    void SetUp() override { newPage(); }

    // Starts a new page (and a new Control on it); the platform keeps its state.
    void newPage(std::map<std::string, std::string> serverVariables = {
                     {"LOCAL_ADDR", "10.0.0.5"}}) {
        platform::embedded::PageRequest request;
        request.serverVariables = std::move(serverVariables);
        request.siteRoot = platform->store().settings().masterSiteRoot;
        page = std::make_shared<platform::embedded::EmbeddedPage>(platform->sharedStore(), request,
                                                                  platform->objects());
        object = std::make_unique<component::ControlObject>(platform->services());
        object->control().OnStartPage(page);
    }

    Variant call(std::string_view member, std::initializer_list<Variant> args = {}) {
        return object->call(member, args);
    }
    void put(std::string_view property, Variant value) { object->put(property, std::move(value)); }

    // The message of the error page the page wrote; "" when it wrote none.
    std::string errorMessage() {
        return component::errorPageMessage(page->responseState().body).value_or("");
    }
    bool ended() { return page->responseState().ended; }

    // A directory object of the platform, bound as a script's GetObject does.
    automation::ObjectRef bind(const std::string& path) {
        return platform->services().directory->bind(path);
    }
    // The platform call that will fail next with `number` (once, or every time).
    void inject(std::string member, std::string path, int32_t number, bool once = true) {
        platform->faults().add({std::move(member), std::move(path), number, once});
    }
};

}  // namespace tarnwick::testing
