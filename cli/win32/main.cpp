// tarnwick.exe: the site commands on a Windows server (see site_program.h).
#include <windows.h>

#include <string>
#include <vector>

#include "cli/win32/site_program.h"
#include "platform/win32/com_values.h"

int wmain(int argc, wchar_t** argv) {
    // Messages are UTF-8, as the component writes them.
    SetConsoleOutputCP(CP_UTF8);
    if (FAILED(CoInitialize(nullptr))) return 2;
    int code = 0;
    {
        std::vector<std::string> args;
        for (int i = 1; i < argc; ++i) args.push_back(tarnwick::platform::win32::toUtf8(argv[i]));
        code = tarnwick::cli::win32::runSiteProgram(args);
    }
    CoUninitialize();
    return code;
}
