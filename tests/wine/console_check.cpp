// tarnwick.exe's output under Wine (tests/wine/run.sh). "units <folder>":
// the conversion, the stream buffer over a file, the program's _fstat64 and
// _wstat64, and the output form a command line chooses (the directory doubles
// registered). "console <report> <line> <command line>", on a console: set to
// code page 936, the console keeps it through a run of the command and shows
// <line>; a second run writes standard error to <report>.err.
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
    check(toCodePage("ก站", 936) == "?\xD5\xBE", "a character 936 lacks becomes ?");
    check(toCodePage("参数", CP_UTF8) == "参数", "UTF-8 stays UTF-8");

    // JSON to a file: UTF-8, a character split between two flushes kept whole, CR LF.
    auto path = folder + L"\\out.json";
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    {
        HandleOutput out(file, OutputForm::Json);
        std::ostream stream(&out);
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
    int descriptor = _wopen(path.c_str(), 0);
    check(_fstat64(descriptor, &status) == 0 && (status.st_mode & _S_IFREG) && status.st_size == 14,
          "_fstat64 of a file");
    _close(descriptor);

    // The form the command line asks for, told before the command runs.
    std::pair<std::vector<std::string>, bool> forms[] = {{{"site", "list", "--json"}, true},
                                                         {{"site", "show", "1"}, false}};
    std::ostringstream discarded;
    auto* saved = std::cout.rdbuf(discarded.rdbuf());
    for (const auto& [args, json] : forms) {
        std::optional<bool> told;
        tarnwick::cli::win32::ProgramSettings settings;
        settings.outputForm = [&told](bool isJson) { told = isJson; };
        tarnwick::cli::win32::runSiteProgram(args, settings);
        check(told == json, "the output form of site " + args[1]);
    }
    std::cout.rdbuf(saved);
}

int console(const std::wstring& reportPath, const std::wstring& expected,
            const std::wstring& commandLine) {
    report = _wfopen(reportPath.c_str(), L"w");
    UINT before = GetConsoleOutputCP();
    check(SetConsoleOutputCP(936), "the console takes code page 936");
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE screen =
        CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    &inherit, OPEN_EXISTING, 0, nullptr);
    auto run = [&](HANDLE error) {
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = screen;
        startup.hStdError = error ? error : screen;
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
    if (args.size() == 4 && args[0] == L"console") return console(args[1], args[2], args[3]);
    std::fprintf(stderr,
                 "usage: console_check units <folder> | console <report> <line> <command line>\n");
    return 64;
}
