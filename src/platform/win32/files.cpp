#include "platform/files.h"

#include "platform/win32/wide.h"

#include <algorithm>
#include <cwchar>
#include <iterator>
#include <random>
#include <windows.h>

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

} // namespace platform
