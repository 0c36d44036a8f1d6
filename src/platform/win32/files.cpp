#include "platform/files.h"

#include "platform/win32/wide.h"

#include <algorithm>
#include <cwchar>
#include <iterator>
#include <random>
// clang-format off
#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>
// clang-format on

namespace platform {

bool WriteFileWhole(const std::string& path, const std::string& bytes) {
    const auto slash = path.find_last_of("\\/");
    const std::wstring folder =
        win32::Wide(slash == std::string::npos ? std::string() : path.substr(0, slash + 1));
    std::random_device random;
    std::wstring temporary;
    HANDLE file = INVALID_HANDLE_VALUE;
    // CREATE_NEW takes no name that exists, a planted link included.
    for (int attempt = 0; attempt < 16 && file == INVALID_HANDLE_VALUE; ++attempt) {
        wchar_t suffix[16];
        std::swprintf(suffix, std::size(suffix), L"%08x", random());
        temporary = folder + L".netvigil-reg-" + suffix;
        file = ::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE && ::GetLastError() != ERROR_FILE_EXISTS) {
            return false;
        }
    }
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    bool written = true;
    for (std::size_t done = 0; written && done < bytes.size();) {
        DWORD n = 0;
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1 << 20));
        written = ::WriteFile(file, bytes.data() + done, chunk, &n, nullptr) != FALSE && n > 0;
        done += n;
    }
    written = ::FlushFileBuffers(file) != FALSE && written;
    written = ::CloseHandle(file) != FALSE && written;
    if (!written || ::MoveFileExW(temporary.c_str(), win32::Wide(path).c_str(),
                                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == FALSE) {
        ::DeleteFileW(temporary.c_str());
        return false;
    }
    return true;
}

std::string StateFilePath(const std::string& name) {
    wchar_t* folder = nullptr;
    std::string path;
    if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &folder))) {
        path = win32::Narrow(folder) + "\\Netvigil\\" + name;
    }
    // Freed whether the call succeeded or not, as its documentation asks.
    ::CoTaskMemFree(folder);
    return path;
}

bool CreateFolderFor(const std::string& path) {
    const auto slash = path.find_last_of("\\/");
    if (slash == std::string::npos) {
        return true;
    }
    const std::wstring folder = win32::Wide(path.substr(0, slash));
    // Each level in turn: those that exist (a drive, a share) refuse, and the
    // last one tells.
    for (std::size_t at = folder.find_first_of(L"\\/", 1);;
         at = folder.find_first_of(L"\\/", at + 1)) {
        ::CreateDirectoryW(folder.substr(0, at).c_str(), nullptr);
        if (at == std::wstring::npos) {
            break;
        }
    }
    const ::DWORD attributes = ::GetFileAttributesW(folder.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::optional<std::uint64_t> FileSize(const std::string& path) {
    ::WIN32_FILE_ATTRIBUTE_DATA data{};
    if (::GetFileAttributesExW(win32::Wide(path).c_str(), GetFileExInfoStandard, &data) == FALSE ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

bool AppendToFile(const std::string& path, const std::string& bytes) {
    // With FILE_APPEND_DATA alone, every write goes to the end of the file.
    // Shared every way, so that a reader may follow it and it may be renamed.
    const HANDLE file = ::CreateFileW(win32::Wide(path).c_str(), FILE_APPEND_DATA,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    ::DWORD written = 0;
    const bool whole = ::WriteFile(file, bytes.data(), static_cast<::DWORD>(bytes.size()), &written,
                                   nullptr) != FALSE &&
                       written == bytes.size();
    return ::CloseHandle(file) != FALSE && whole;
}

bool RenameFile(const std::string& from, const std::string& to) {
    return ::MoveFileExW(win32::Wide(from).c_str(), win32::Wide(to).c_str(),
                         MOVEFILE_REPLACE_EXISTING) != FALSE;
}

} // namespace platform
