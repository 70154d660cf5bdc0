#include "cli/win32/console_output.h"

#include <algorithm>
#include <iostream>

#include "platform/win32/com_values.h"

namespace tarnwick::cli::win32 {

namespace {

// WriteConsoleW takes its text from a shared heap of 64 KB on the consoles of
// Windows 2000 and 2003: longer text goes in pieces of this many characters.
constexpr size_t kConsolePiece = 8192;

// How many bytes of `utf8` end in a whole character: an unfinished sequence at
// the end waits for its other bytes.
size_t completeLength(std::string_view utf8) {
    size_t start = utf8.size();
    for (size_t back = 0; back < 4 && start > 0; ++back) {
        --start;
        auto byte = static_cast<unsigned char>(utf8[start]);
        if ((byte & 0xC0) == 0x80) continue;
        size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
        return utf8.size() - start < length ? start : utf8.size();
    }
    return utf8.size();
}

// Each line end as CR LF, as the runtime's text mode writes it.
std::string withCrLf(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 32);
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

bool writeConsole(HANDLE handle, std::wstring_view text) {
    while (!text.empty()) {
        size_t piece = std::min(text.size(), kConsolePiece);
        // A surrogate pair stays in one piece.
        if (piece < text.size() && text[piece - 1] >= 0xD800 && text[piece - 1] <= 0xDBFF) --piece;
        DWORD written = 0;
        if (!WriteConsoleW(handle, text.data(), static_cast<DWORD>(piece), &written, nullptr) ||
            written == 0) {
            return false;
        }
        text.remove_prefix(written);
    }
    return true;
}

bool writeBytes(HANDLE handle, std::string_view bytes) {
    while (!bytes.empty()) {
        DWORD written = 0;
        if (!WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
            written == 0) {
            return false;
        }
        bytes.remove_prefix(written);
    }
    return true;
}

bool isConsole(HANDLE handle) {
    DWORD mode = 0;
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode);
}

}  // namespace

std::string toCodePage(std::string_view utf8, UINT codePage) {
    if (codePage == CP_UTF8 || utf8.empty()) return std::string(utf8);
    auto wide = platform::win32::toWide(utf8);
    int size = WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr,
                                   0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(std::max(size, 0)), '\0');
    WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), bytes.data(), size,
                        nullptr, nullptr);
    return bytes;
}

UINT redirectedTextCodePage() {
    // Zero when the process has no console.
    UINT console = GetConsoleOutputCP();
    return console != 0 ? console : GetACP();
}

HandleOutput::HandleOutput(HANDLE handle, OutputForm form)
    : handle_(handle), console_(isConsole(handle)) {
    setForm(form);
}

HandleOutput::~HandleOutput() {
    if (!pending_.empty()) write(pending_);
}

void HandleOutput::setForm(OutputForm form) {
    sync();
    codePage_ = form == OutputForm::Json ? CP_UTF8 : redirectedTextCodePage();
}

HandleOutput::int_type HandleOutput::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    pending_ += traits_type::to_char_type(c);
    return c;
}

std::streamsize HandleOutput::xsputn(const char* text, std::streamsize count) {
    pending_.append(text, static_cast<size_t>(count));
    return count;
}

int HandleOutput::sync() {
    size_t complete = completeLength(pending_);
    if (complete == 0) return 0;
    bool written = write(std::string_view(pending_).substr(0, complete));
    pending_.erase(0, complete);
    return written ? 0 : -1;
}

bool HandleOutput::write(std::string_view utf8) {
    auto text = withCrLf(utf8);
    if (console_) return writeConsole(handle_, platform::win32::toWide(text));
    return writeBytes(handle_, toCodePage(text, codePage_));
}

StandardStreams::StandardStreams()
    : output_(GetStdHandle(STD_OUTPUT_HANDLE), OutputForm::Text),
      error_(GetStdHandle(STD_ERROR_HANDLE), OutputForm::Text),
      savedOutput_(std::cout.rdbuf(&output_)),
      savedError_(std::cerr.rdbuf(&error_)) {}

StandardStreams::~StandardStreams() {
    std::cout.flush();
    std::cerr.flush();
    std::cout.rdbuf(savedOutput_);
    std::cerr.rdbuf(savedError_);
}

}  // namespace tarnwick::cli::win32
