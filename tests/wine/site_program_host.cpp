// Runs tarnwick.exe's site commands under Wine against the directory doubles,
// several command lines in one process so that they share the doubles' state
// (the metabase and accounts live in the process that loaded the doubles):
//
//   site_program_host.exe [--map ProgID=OtherProgID]...
//                         [--accounts-double C:\path\TarnwickDoubles.dll] commands.txt
//
// Each line of the commands file is one command line (blank-separated words,
// double quotes around a word with blanks); empty lines and lines starting
// with # are skipped. A line starting with "non-admin " runs the rest as a
// user without administrator rights. The transcript on standard output shows
// each command ("$ tarnwick ..."), what it printed, and its exit code.
// With --accounts-double, the program's LookupAccountNameA (its import from
// advapi32.dll) is pointed at the double's, which knows the doubles' accounts.
#include <windows.h>

#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "automation/text.h"
#include "cli/win32/site_program.h"
#include "platform/win32/com_values.h"
#include "tests/wine/import_patch.h"

namespace {

namespace win32 = tarnwick::platform::win32;

std::vector<std::string> words(const std::string& line) {
    std::vector<std::string> found;
    std::string word;
    bool quoted = false, inWord = false;
    for (char c : line) {
        if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if ((c == ' ' || c == '\t' || c == '\r') && !quoted) {
            if (inWord) found.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) found.push_back(word);
    return found;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    tarnwick::cli::win32::ProgramSettings settings;
    std::wstring commandsFile;
    for (int i = 1; i < argc; ++i) {
        std::wstring option = argv[i];
        if (option == L"--map" && i + 1 < argc) {
            auto mapping = win32::toUtf8(argv[++i]);
            auto equals = mapping.find('=');
            settings.progIdMap[tarnwick::automation::toLowerAscii(mapping.substr(0, equals))] =
                mapping.substr(equals + 1);
        } else if (option == L"--accounts-double" && i + 1 < argc) {
            HMODULE doubles = LoadLibraryW(argv[++i]);
            void* lookup =
                doubles
                    ? reinterpret_cast<void*>(GetProcAddress(doubles, "DoubleLookupAccountNameA"))
                    : nullptr;
            if (!lookup ||
                !tarnwick::tests::wine::replaceImport(GetModuleHandleW(nullptr), "advapi32.dll",
                                                      "LookupAccountNameA", lookup)) {
                std::cout << "cannot point LookupAccountNameA at the accounts double" << std::endl;
                return 1;
            }
        } else {
            commandsFile = option;
        }
    }
    std::ifstream in(commandsFile.c_str());
    if (commandsFile.empty() || !in) {
        std::cout << "usage: site_program_host [--map ProgID=Other]... [--accounts-double dll] "
                     "commands.txt"
                  << std::endl;
        return 1;
    }
    if (FAILED(CoInitialize(nullptr))) return 1;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line.front() == '#') continue;
        auto run = settings;
        auto commandLine = line;
        if (commandLine.starts_with("non-admin ")) {
            run.assumeNotAdministrator = true;
            commandLine.erase(0, 10);
        }
        std::cout << "$ " << (run.assumeNotAdministrator ? "(not an administrator) " : "")
                  << "tarnwick " << commandLine << std::endl;
        int code = tarnwick::cli::win32::runSiteProgram(words(commandLine), run);
        std::cout.flush();
        std::cout << "exit " << code << std::endl;
    }
    CoUninitialize();
    return 0;
}
