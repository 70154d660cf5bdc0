// How tarnwick.exe writes standard output and standard error. The program's
// text is UTF-8 inside; what leaves the process is what the server's own
// tools expect:
//   - a console gets UTF-16 through WriteConsoleW, and its code page is left
//     as it is (the administrator's window keeps working for dir and net);
//   - a file or pipe gets JSON as UTF-8, and text in the console's output code
//     page when the process has a console, else in the ANSI code page, so that
//     findstr and Notepad read it; a character that code page lacks becomes
//     "?". Line ends are CR LF.
#pragma once

#include <windows.h>

#include <ostream>
#include <streambuf>
#include <string>
#include <string_view>

namespace tarnwick::cli::win32 {

enum class OutputForm { Text, Json };

// UTF-8 text in `codePage`, as WideCharToMultiByte converts it (a character the
// code page lacks becomes its default character, "?"). CP_UTF8 keeps the text.
std::string toCodePage(std::string_view utf8, UINT codePage);

// The code page of text written to a file or a pipe: the console's output code
// page when the process has a console, else the ANSI code page.
UINT redirectedTextCodePage();

// A stream buffer over one standard handle; see the top of this file. What is
// written stays here until a flush, and an unfinished UTF-8 sequence at the
// end waits for the rest of its bytes.
class HandleOutput final : public std::streambuf {
public:
    HandleOutput(HANDLE handle, OutputForm form);
    ~HandleOutput() override;
    HandleOutput(const HandleOutput&) = delete;
    HandleOutput& operator=(const HandleOutput&) = delete;

    // JSON is UTF-8 when redirected; text follows redirectedTextCodePage.
    void setForm(OutputForm form);
    bool console() const { return console_; }

protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* text, std::streamsize count) override;
    int sync() override;

private:
    bool write(std::string_view utf8);

    HANDLE handle_;
    bool console_;
    UINT codePage_ = CP_UTF8;
    std::string pending_;
};

// std::cout on standard output and std::cerr on standard error through
// HandleOutput while this object lives; the streams get their own buffers back
// afterwards.
class StandardStreams {
public:
    StandardStreams();
    ~StandardStreams();
    StandardStreams(const StandardStreams&) = delete;
    StandardStreams& operator=(const StandardStreams&) = delete;

    void setOutputForm(OutputForm form) { output_.setForm(form); }

private:
    HandleOutput output_;
    HandleOutput error_;
    std::streambuf* savedOutput_;
    std::streambuf* savedError_;
};

}  // namespace tarnwick::cli::win32
