// The platform's ANSI code page (936 on the Chinese Windows the panel
// targets), converted with the C library's iconv. Text the core hands to an
// "A" function or writes to an ANSI text file goes through fromUtf8; a
// character the code page cannot hold becomes "?", as Windows converts it.
// Bytes that are not valid in the code page read back as "?" too.
#pragma once

#include <iconv.h>

#include <memory>
#include <mutex>
#include <stdexcept>
#include <type_traits>

#include "platform/system.h"

namespace tarnwick::platform::embedded::files {

class CodePageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class IconvCodePage : public AnsiCodePage {
public:
    // Raises CodePageError when the C library has no converter for the code page.
    explicit IconvCodePage(unsigned codePage);

    unsigned codePage() const override { return codePage_; }
    std::string fromUtf8(std::string_view text) override;
    std::string toUtf8(std::string_view text) override;

private:
    struct Closer {
        void operator()(iconv_t handle) const { iconv_close(handle); }
    };
    // iconv_t is a pointer to the library's descriptor.
    using Handle = std::unique_ptr<std::remove_pointer_t<iconv_t>, Closer>;

    unsigned codePage_;
    std::mutex mutex_;  // an iconv descriptor keeps conversion state
    Handle toAnsi_;
    Handle fromAnsi_;
};

// The iconv name of a Windows code page ("CP936", "UTF-8" for 65001).
std::string iconvName(unsigned codePage);

}  // namespace tarnwick::platform::embedded::files
