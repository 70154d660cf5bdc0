// A page on an in-memory embedded platform with a Control object created on it.
#pragma once

#include <gtest/gtest.h>

#include "automation/error.h"
#include "component/control_object.h"
#include "platform/embedded/asp_page.h"

namespace tarnwick::testing {

using automation::Variant;

class PageFixture : public ::testing::Test {
protected:
    std::shared_ptr<platform::embedded::Store> store = platform::embedded::Store::inMemory();
    std::shared_ptr<platform::embedded::EmbeddedPage> page = newPage();
    component::ControlObject object;

    std::shared_ptr<platform::embedded::EmbeddedPage> newPage(
        std::optional<std::string> session = std::nullopt) {
        platform::embedded::PageRequest request;
        request.sessionId = std::move(session);
        return std::make_shared<platform::embedded::EmbeddedPage>(store, request);
    }
    void start() { object.control().OnStartPage(page); }
    Variant call(std::string_view member, std::initializer_list<Variant> args = {}) {
        return object.call(member, args);
    }
    // The error number a call raises; 0 when it succeeds.
    int32_t errorOf(std::string_view member, std::initializer_list<Variant> args = {}) {
        try {
            object.call(member, args);
        } catch (const automation::AutomationError& error) {
            return error.number();
        }
        return 0;
    }
    const platform::embedded::ResponseState& response() { return page->responseState(); }
    Variant sessionValue(std::string_view key) { return page->session()->value(key); }
};

}  // namespace tarnwick::testing
