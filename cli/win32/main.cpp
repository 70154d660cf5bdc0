// tarnwick.exe: the site commands on a Windows server (see site_program.h).
#include <windows.h>

#include <string>
#include <vector>

#include "cli/win32/console_output.h"
#include "cli/win32/site_program.h"
#include "platform/win32/com_values.h"

int wmain(int argc, wchar_t** argv) {
    namespace win32 = tarnwick::cli::win32;
    // The console's code page stays as the administrator has it: see console_output.h.
    win32::StandardStreams streams;
    if (FAILED(CoInitialize(nullptr))) return 2;
    int code = 0;
    {
        std::vector<std::string> args;
        for (int i = 1; i < argc; ++i) args.push_back(tarnwick::platform::win32::toUtf8(argv[i]));
        win32::ProgramSettings settings;
        settings.outputForm = [&streams](bool json) {
            streams.setOutputForm(json ? win32::OutputForm::Json : win32::OutputForm::Text);
        };
        code = win32::runSiteProgram(args, settings);
    }
    CoUninitialize();
    return code;
}
