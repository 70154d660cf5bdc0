// Runs the tarnwick command against a state folder of the test's own.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "support/process.h"

namespace tarnwick::testing {

class CliFixture : public ::testing::Test {
protected:
    std::filesystem::path state;

    void SetUp() override {
        auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        state = std::filesystem::temp_directory_path() /
                ("tarnwick-" + std::string(info->test_suite_name()) + "-" + info->name() + "-" +
                 std::to_string(getpid()));
        std::filesystem::remove_all(state);
    }
    void TearDown() override { std::filesystem::remove_all(state); }

    ProcessResult tarnwick(std::vector<std::string> args, const std::string& input = {}) {
        args.insert(args.begin(), {TARNWICK_CLI, "--state", state.string()});
        return runProcess(args, input);
    }
    // Runs a page that must run; returns its result document.
    nlohmann::json page(const nlohmann::json& document) {
        auto result = tarnwick({"page"}, document.dump());
        EXPECT_EQ(result.exitCode, 0) << result.err;
        return nlohmann::json::parse(result.out);
    }
};

}  // namespace tarnwick::testing
