#include "platform/embedded/files/ansi_code_page.h"

#include <algorithm>
#include <cerrno>
#include <string>

namespace tarnwick::platform::embedded::files {

namespace {

// The bytes of the UTF-8 character at `at`: its whole sequence when the
// continuation bytes are there, else the one stray byte.
size_t utf8CharacterLength(std::string_view text, size_t at) {
    auto lead = static_cast<unsigned char>(text[at]);
    size_t length = lead >= 0xF5 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 1;
    for (size_t i = 1; i < length; ++i) {
        if (at + i >= text.size() || (static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80) {
            return 1;
        }
    }
    return length;
}

// Converts with `handle`; where the input cannot be converted, writes "?" and
// skips `skip(at)` bytes of input.
template <class Skip>
std::string convert(iconv_t handle, std::string_view input, Skip skip) {
    std::string output;
    char buffer[512];
    size_t at = 0;
    iconv(handle, nullptr, nullptr, nullptr, nullptr);
    while (at < input.size()) {
        auto* in = const_cast<char*>(input.data() + at);
        size_t inLeft = input.size() - at;
        char* out = buffer;
        size_t outLeft = sizeof buffer;
        size_t result = iconv(handle, &in, &inLeft, &out, &outLeft);
        int error = errno;
        output.append(buffer, static_cast<size_t>(out - buffer));
        at = input.size() - inLeft;
        if (result != static_cast<size_t>(-1)) continue;
        if (error == E2BIG) continue;
        // EILSEQ (no such character) or EINVAL (cut-off sequence at the end).
        output += '?';
        at += std::min(skip(at), input.size() - at);
        iconv(handle, nullptr, nullptr, nullptr, nullptr);
    }
    // Flush any shift state.
    char* out = buffer;
    size_t outLeft = sizeof buffer;
    iconv(handle, nullptr, nullptr, &out, &outLeft);
    output.append(buffer, static_cast<size_t>(out - buffer));
    return output;
}

}  // namespace

std::string iconvName(unsigned codePage) {
    if (codePage == 65001) return "UTF-8";
    return "CP" + std::to_string(codePage);
}

IconvCodePage::IconvCodePage(unsigned codePage) : codePage_(codePage) {
    auto open = [&](const std::string& to, const std::string& from) {
        iconv_t handle = iconv_open(to.c_str(), from.c_str());
        if (handle == reinterpret_cast<iconv_t>(-1)) {
            throw CodePageError("code page " + std::to_string(codePage) +
                                " is not available for conversion");
        }
        return Handle(handle);
    };
    toAnsi_ = open(iconvName(codePage), "UTF-8");
    fromAnsi_ = open("UTF-8", iconvName(codePage));
}

std::string IconvCodePage::fromUtf8(std::string_view text) {
    std::lock_guard lock(mutex_);
    return convert(toAnsi_.get(), text, [&](size_t at) { return utf8CharacterLength(text, at); });
}

std::string IconvCodePage::toUtf8(std::string_view text) {
    std::lock_guard lock(mutex_);
    return convert(fromAnsi_.get(), text, [](size_t) { return size_t{1}; });
}

}  // namespace tarnwick::platform::embedded::files
