// Automation errors and the resume-next error state.
//
// Error numbers follow the script engine's convention: run-time errors of the
// automation runtime are small numbers (13 is "Type mismatch"), errors raised
// by platform objects are their HRESULTs (0x80070003 and so on, negative as a
// 32-bit signed value). Crossing a COM boundary, a small number n travels as
// the HRESULT 0x800A0000 | n, and comes back as n on the other side.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>

namespace tarnwick::automation {

// Run-time error numbers used throughout the system.
namespace errors {
inline constexpr int32_t kInvalidProcedureCall = 5;
inline constexpr int32_t kOverflow = 6;
inline constexpr int32_t kTypeMismatch = 13;
inline constexpr int32_t kFileNotFound = 53;
inline constexpr int32_t kFileAlreadyExists = 58;
inline constexpr int32_t kPermissionDenied = 70;
inline constexpr int32_t kPathNotFound = 76;
inline constexpr int32_t kObjectNotSet = 91;
inline constexpr int32_t kInvalidUseOfNull = 94;
inline constexpr int32_t kObjectRequired = 424;
inline constexpr int32_t kCannotCreateObject = 429;
inline constexpr int32_t kMemberNotFound = 438;
inline constexpr int32_t kActionNotSupported = 445;
inline constexpr int32_t kWrongArgumentCount = 450;
inline constexpr int32_t kNotImplemented = static_cast<int32_t>(0x80004001u);
inline constexpr int32_t kUnexpected = static_cast<int32_t>(0x8000FFFFu);
}  // namespace errors

// The standard description of a run-time error number, or "" when it has none.
std::string_view standardDescription(int32_t number);

// The HRESULT that carries `number` across a COM boundary.
int32_t hresultOf(int32_t number);

// The number as the script engine's Hex() prints it: upper case, no prefix,
// no leading zeros; a negative number as its 32-bit two's complement.
std::string hexNumber(int32_t number);

// An error raised by an automation call.
class AutomationError : public std::runtime_error {
public:
    explicit AutomationError(int32_t number, std::string description = {});

    int32_t number() const noexcept { return number_; }
    const std::string& description() const noexcept { return description_; }

private:
    int32_t number_;
    std::string description_;
};

[[noreturn]] void raise(int32_t number, std::string description = {});

// The error state of a routine that runs with resume-next handling: a failing
// step is skipped, its error is remembered (the latest one wins), and the
// routine tests the number where its algorithm says so.
class ErrorState {
public:
    int32_t number() const noexcept { return number_; }
    const std::string& description() const noexcept { return description_; }
    bool isSet() const noexcept { return number_ != 0; }
    void clear() noexcept {
        number_ = 0;
        description_.clear();
    }
    void record(const AutomationError& error) {
        number_ = error.number();
        description_ = error.description();
    }

    // Runs one step. An automation error it raises is recorded and the step's
    // result is absent; any other exception passes through.
    template <class Step>
    auto attempt(Step&& step) {
        using Result = std::invoke_result_t<Step>;
        if constexpr (std::is_void_v<Result>) {
            try {
                step();
                return true;
            } catch (const AutomationError& error) {
                record(error);
                return false;
            }
        } else {
            try {
                return std::optional<Result>(step());
            } catch (const AutomationError& error) {
                record(error);
                return std::optional<Result>();
            }
        }
    }

private:
    int32_t number_ = 0;
    std::string description_;
};

}  // namespace tarnwick::automation
