// tarnwick.exe's output under Wine (tests/wine/run.sh):
//
//   console_check.exe units <folder>
//       the code-page conversion, the stream buffer over a file, the
//       program's _fstat64 and _wstat64 (in <folder>), and the output form
//       the command line chooses (with the directory doubles registered);
//   console_check.exe console <report> <expected line> <tarnwick.exe> <args>...
//       on a console (run under a terminal): sets the console to code page
//       936 as on a Chinese server, runs tarnwick.exe on it, checks that the
//       code page is still 936 and the expected line is on the screen, then
//       runs it again with standard error in <report>.err.
// Each failed check prints a line; the exit code is the number of failures.
#include <windows.h>

#include <io.h>
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "cli/win32/console_output.h"
#include "cli/win32/site_program.h"
#include "platform/win32/com_values.h"

namespace {

using tarnwick::cli::win32::HandleOutput;
using tarnwick::cli::win32::OutputForm;
using tarnwick::cli::win32::toCodePage;
namespace win32 = tarnwick::platform::win32;

int failures = 0;
FILE* report = stdout;
void check(bool passed, const std::string& what) {
    if (!passed) ++failures;
    std::fprintf(report, "%s: %s\n", passed ? "ok" : "FAIL", what.c_str());
}

std::string fileBytes(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void units(const std::wstring& folder) {
    struct Case {
        const char* text;
        UINT codePage;
        const char* bytes;
    } cases[] = {
        {"参数出错,请检查!", 936, "\xB2\xCE\xCA\xFD\xB3\xF6\xB4\xED,\xC7\xEB\xBC\xEC\xB2\xE9!"},
        {"参数 ok", 1252, "?? ok"},
        {"ก站", 936, "?\xD5\xBE"},  // Thai is not in 936
        {"参数", CP_UTF8, "参数"},
    };
    for (const auto& c : cases) {
        check(toCodePage(c.text, c.codePage) == c.bytes,
              std::string("toCodePage ") + c.text + " in " + std::to_string(c.codePage));
    }

    // JSON to a file: UTF-8, a character split between two flushes kept whole, CR LF.
    auto path = folder + L"\\out.json";
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    {
        HandleOutput out(file, OutputForm::Json);
        std::ostream stream(&out);
        check(!out.console(), "a file is no console");
        stream << "{\"a\": \"\xE5\xB7" << std::flush << "\xA5\"}\n" << std::flush;
    }
    CloseHandle(file);
    check(fileBytes(path) == "{\"a\": \"工\"}\r\n", "JSON in a file is UTF-8 with CR LF");

    // The program's _stat64 and _fstat64 (file_status.cpp), through the runtime's names.
    struct _stat64 status;
    check(_wstat64(folder.c_str(), &status) == 0 && (status.st_mode & _S_IFDIR),
          "_wstat64 of a folder");
    check(_wstat64(path.c_str(), &status) == 0 && (status.st_mode & _S_IFREG) &&
              status.st_size == 14 && status.st_mtime > 1600000000,
          "_wstat64 of a file: size and time");
    check(_wstat64((folder + L"\\missing").c_str(), &status) == -1 && errno == ENOENT,
          "_wstat64 of a missing file");
    check(_wstat64((folder + L"\\*.json").c_str(), &status) == -1, "_wstat64 of a wildcard");
    int descriptor = _wopen(path.c_str(), 0);
    check(_fstat64(descriptor, &status) == 0 && (status.st_mode & _S_IFREG) && status.st_size == 14,
          "_fstat64 of a file");
    _close(descriptor);
    check(_fstat64(-1, &status) == -1 && errno == EBADF, "_fstat64 of no file");

    // The form the command line asks for, told before the command runs.
    struct Form {
        std::vector<std::string> args;
        bool json;
    } forms[] = {{{"site", "list", "--json"}, true},
                 {{"site", "show", "1", "--json"}, true},
                 {{"site", "list"}, false},
                 {{"site", "show", "1"}, false}};
    std::ostringstream discarded;
    auto* saved = std::cout.rdbuf(discarded.rdbuf());
    for (const auto& form : forms) {
        std::optional<bool> told;
        tarnwick::cli::win32::ProgramSettings settings;
        settings.outputForm = [&told](bool json) { told = json; };
        tarnwick::cli::win32::runSiteProgram(form.args, settings);
        std::string line;
        for (const auto& word : form.args) line += " " + word;
        check(told == form.json, "the output form of" + line);
    }
    std::cout.rdbuf(saved);
}

int console(const std::wstring& reportPath, const std::wstring& expected,
            const std::wstring& commandLine) {
    report = _wfopen(reportPath.c_str(), L"w");
    UINT before = GetConsoleOutputCP();
    check(SetConsoleOutputCP(936), "the console takes code page 936");
    HANDLE screen =
        CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    auto run = [&](HANDLE error) {
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        if (error) {
            startup.dwFlags = STARTF_USESTDHANDLES;
            startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
            startup.hStdOutput = screen;
            startup.hStdError = error;
        }
        PROCESS_INFORMATION process{};
        std::wstring line = commandLine;
        if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                            &startup, &process)) {
            return check(false, "tarnwick.exe started");
        }
        WaitForSingleObject(process.hProcess, INFINITE);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    };
    run(nullptr);
    check(GetConsoleOutputCP() == 936, "the console's code page is 936 after the run");
    CONSOLE_SCREEN_BUFFER_INFO info;
    GetConsoleScreenBufferInfo(screen, &info);
    std::wstring text(static_cast<size_t>(info.dwSize.X) * info.dwSize.Y, L' ');
    DWORD read = 0;
    ReadConsoleOutputCharacterW(screen, text.data(), static_cast<DWORD>(text.size()), {0, 0},
                                &read);
    check(text.find(expected) != std::wstring::npos, "the screen shows " + win32::toUtf8(expected));

    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE error = CreateFileW((reportPath + L".err").c_str(), GENERIC_WRITE, 0, &inherit,
                               CREATE_ALWAYS, 0, nullptr);
    run(error);
    CloseHandle(error);
    SetConsoleOutputCP(before);
    std::fclose(report);
    return failures;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::vector<std::wstring> args(argv + 1, argv + argc);
    if (args.size() == 2 && args[0] == L"units") {
        if (FAILED(CoInitialize(nullptr))) return 1;
        units(args[1]);
        CoUninitialize();
        return failures;
    }
    if (args.size() >= 4 && args[0] == L"console") {
        std::wstring commandLine;
        for (size_t i = 3; i < args.size(); ++i) {
            commandLine += (i > 3 ? L" " : L"") + args[i];
        }
        return console(args[1], args[2], commandLine);
    }
    std::fprintf(stderr,
                 "usage: console_check units <folder> | console <report> <line> <exe> ...\n");
    return 64;
}
