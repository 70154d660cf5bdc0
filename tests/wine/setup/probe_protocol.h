// What the Setup driver and SetupProbe.dll (which the driver's window hooks
// load into Setup.exe) agree on.
#pragma once

#include <windows.h>

namespace tarnwick::tests::wine::setup {

// The transcript that both append to, in the folder of SetupProbe.dll.
inline constexpr wchar_t kTranscriptName[] = L"setup_events.log";
// Set by the probe when a click on the Setup window has been handled to its end.
inline constexpr wchar_t kClickDoneEvent[] = L"TarnwickSetupClickDone";
// A report request: the driver writes lines "path|property,property" (UTF-8)
// into this file beside the probe, then sends the registered message.
inline constexpr wchar_t kReportRequestName[] = L"report_request.txt";
inline constexpr wchar_t kReportMessage[] = L"TarnwickSetupProbeReport";
// A folder for the open folder picker: the driver writes the path (UTF-8)
// into this file, then sends the registered message to the picker.
inline constexpr wchar_t kFolderRequestName[] = L"folder_request.txt";
inline constexpr wchar_t kSelectFolderMessage[] = L"TarnwickSetupProbeSelectFolder";

// Appends one line (UTF-8, CR LF added) to the transcript at `path`.
inline void appendLine(const wchar_t* path, const char* text, size_t length) {
    HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written;
    WriteFile(file, text, static_cast<DWORD>(length), &written, nullptr);
    WriteFile(file, "\r\n", 2, &written, nullptr);
    CloseHandle(file);
}

}  // namespace tarnwick::tests::wine::setup
