// OdbcSetupDouble.dll: the setup of the Access ODBC driver, which Wine lacks.
// Registered as the driver's "Setup" under ODBCINST.INI, so that
// odbccp32's SQLConfigDataSource loads it and calls ConfigDSN. It writes
// each call into odbc_calls.log beside itself (request, configuration mode,
// driver, each attribute) and keeps the data source in ODBC.INI as a
// driver's setup does, so the test can read both.
// windows.h comes first, odbcinst.h builds on it.
// clang-format off
#include <windows.h>
#include <odbcinst.h>
// clang-format on

#include <string>

#include "tests/wine/setup/probe_protocol.h"

namespace {

HMODULE g_module = nullptr;

void record(const std::string& line) {
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(g_module, path, MAX_PATH);
    std::wstring file(path, length);
    file = file.substr(0, file.find_last_of(L'\\') + 1) + L"odbc_calls.log";
    tarnwick::tests::wine::setup::appendLine(file.c_str(), line.data(), line.size());
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) g_module = instance;
    return TRUE;
}

extern "C" __declspec(dllexport) BOOL WINAPI
    ConfigDSN(HWND, WORD request, LPCSTR driver, LPCSTR attributes) {
    UWORD mode = 0;
    SQLGetConfigMode(&mode);
    record("ConfigDSN request " + std::to_string(request) + " mode " + std::to_string(mode) +
           " driver " + (driver ? driver : ""));
    std::string name;
    for (const char* pair = attributes; pair && *pair; pair += strlen(pair) + 1) {
        record("  " + std::string(pair));
        if (_strnicmp(pair, "DSN=", 4) == 0) name = pair + 4;
    }
    if (request != ODBC_ADD_DSN && request != ODBC_ADD_SYS_DSN) return TRUE;
    if (name.empty() || !SQLWriteDSNToIni(name.c_str(), driver)) return FALSE;
    for (const char* pair = attributes; *pair; pair += strlen(pair) + 1) {
        const char* equals = strchr(pair, '=');
        if (!equals || _strnicmp(pair, "DSN=", 4) == 0) continue;
        std::string key(pair, static_cast<size_t>(equals - pair));
        SQLWritePrivateProfileString(name.c_str(), key.c_str(), equals + 1, "ODBC.INI");
    }
    return TRUE;
}
