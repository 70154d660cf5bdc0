// _fstat64 and _wstat64 for the C++ library, on plain Win32 file calls.
//
// The C++ library's file streams (which std::cout brings in) call _fstat64 and
// its file-system code calls _wstat64, both through their import slots.
// Windows 2000's msvcrt.dll has neither (its 64-bit-size forms are _fstati64
// and _wstati64, with 32-bit times), and a program that imports one does not
// start there. Filling the import slots here, in an object linked into the
// program itself, keeps the linker from taking them from msvcrt.dll, as the
// toolchain's own stand-ins for newer runtime functions do.
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <cstring>
#include <string_view>

namespace {

// Seconds since 1970 (UTC) of a FILETIME.
__time64_t secondsOf(const FILETIME& time) {
    ULARGE_INTEGER ticks;
    ticks.LowPart = time.dwLowDateTime;
    ticks.HighPart = time.dwHighDateTime;
    if (ticks.QuadPart < 116444736000000000ULL) return 0;
    return static_cast<__time64_t>((ticks.QuadPart - 116444736000000000ULL) / 10000000ULL);
}

// A folder is searchable, a file read-only when its attribute says so; the
// owner's read, write and execute bits are repeated for group and others, as
// the runtime does.
unsigned short modeOf(DWORD attributes) {
    unsigned short mode = _S_IREAD;
    if (!(attributes & FILE_ATTRIBUTE_READONLY)) mode |= _S_IWRITE;
    mode |= (attributes & FILE_ATTRIBUTE_DIRECTORY) ? _S_IFDIR | _S_IEXEC : _S_IFREG;
    return static_cast<unsigned short>(mode | (mode & 0700) >> 3 | (mode & 0700) >> 6);
}

void fill(struct _stat64* status, DWORD attributes, DWORD sizeHigh, DWORD sizeLow,
          const FILETIME& accessed, const FILETIME& written, const FILETIME& created) {
    status->st_mode = modeOf(attributes);
    status->st_nlink = 1;
    status->st_size =
        static_cast<__int64>((static_cast<unsigned long long>(sizeHigh) << 32) | sizeLow);
    status->st_atime = secondsOf(accessed);
    status->st_mtime = secondsOf(written);
    status->st_ctime = secondsOf(created);
}

int failWith(int number) {
    errno = number;
    return -1;
}

int errnoOf(DWORD error) {
    switch (error) {
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION: return EACCES;
        case ERROR_NOT_ENOUGH_MEMORY: return ENOMEM;
        default: return ENOENT;
    }
}

int __cdecl statusOfDescriptor(int descriptor, struct _stat64* status) {
    if (!status) return failWith(EINVAL);
    std::memset(status, 0, sizeof *status);
    auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
    if (handle == INVALID_HANDLE_VALUE) return failWith(EBADF);
    status->st_dev = status->st_rdev = static_cast<_dev_t>(descriptor);
    switch (GetFileType(handle)) {
        case FILE_TYPE_CHAR:
            status->st_mode = _S_IFCHR;
            status->st_nlink = 1;
            return 0;
        case FILE_TYPE_PIPE:
            status->st_mode = _S_IFIFO;
            status->st_nlink = 1;
            return 0;
        case FILE_TYPE_DISK: break;
        default: return failWith(EBADF);
    }
    BY_HANDLE_FILE_INFORMATION information;
    if (!GetFileInformationByHandle(handle, &information)) {
        return failWith(errnoOf(GetLastError()));
    }
    fill(status, information.dwFileAttributes, information.nFileSizeHigh, information.nFileSizeLow,
         information.ftLastAccessTime, information.ftLastWriteTime, information.ftCreationTime);
    status->st_nlink = static_cast<short>(information.nNumberOfLinks);
    return 0;
}

int __cdecl statusOfPath(const wchar_t* path, struct _stat64* status) {
    if (!path || !status) return failWith(EINVAL);
    std::memset(status, 0, sizeof *status);
    // Wildcards name no file.
    if (std::wstring_view(path).find_first_of(L"*?") != std::wstring_view::npos)
        return failWith(ENOENT);
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path, GetFileExInfoStandard, &data)) {
        return failWith(errnoOf(GetLastError()));
    }
    fill(status, data.dwFileAttributes, data.nFileSizeHigh, data.nFileSizeLow,
         data.ftLastAccessTime, data.ftLastWriteTime, data.ftCreationTime);
    // The drive's number (0 for A:), or the current drive's for a relative path.
    wchar_t letter = path[0] && path[1] == L':' ? path[0] : 0;
    if (!letter) {
        wchar_t folder[MAX_PATH];
        if (GetCurrentDirectoryW(MAX_PATH, folder) && folder[1] == L':') letter = folder[0];
    }
    if (letter >= L'a' && letter <= L'z') letter = static_cast<wchar_t>(letter - L'a' + L'A');
    if (letter >= L'A' && letter <= L'Z') {
        status->st_dev = status->st_rdev = static_cast<_dev_t>(letter - L'A');
    }
    return 0;
}

}  // namespace

// The import slots the C++ library calls through.
extern "C" {
int(__cdecl* __MINGW_IMP_SYMBOL(_fstat64))(int, struct _stat64*) = statusOfDescriptor;
int(__cdecl* __MINGW_IMP_SYMBOL(_wstat64))(const wchar_t*, struct _stat64*) = statusOfPath;
}
