#include "platform/clock.h"

#include "platform/win32/api.h"

#include <cstdint>

namespace platform {

namespace {

// FILETIME counts 100 ns from 1601; the Unix epoch is 11,644,473,600 s later.
constexpr std::int64_t kTicksPerSecond = 10'000'000;
constexpr std::int64_t kUnixEpochTicks = 11'644'473'600LL * kTicksPerSecond;

std::int64_t Ticks(const ::FILETIME& time) {
    return static_cast<std::int64_t>(static_cast<std::uint64_t>(time.dwHighDateTime) << 32 |
                                     time.dwLowDateTime);
}

} // namespace

LocalTime ToLocalTime(std::chrono::system_clock::time_point when) {
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(when.time_since_epoch()).count();
    const auto ticks = static_cast<std::uint64_t>(seconds * kTicksPerSecond + kUnixEpochTicks);
    const ::FILETIME utc{static_cast<::DWORD>(ticks), static_cast<::DWORD>(ticks >> 32)};
    ::SYSTEMTIME utcFields{};
    ::SYSTEMTIME local{};
    ::FILETIME localTime{};
    // The active zone's daylight saving as it stands on the moment's date
    // (FileTimeToLocalFileTime would take today's).
    if (::FileTimeToSystemTime(&utc, &utcFields) == FALSE ||
        ::SystemTimeToTzSpecificLocalTime(nullptr, &utcFields, &local) == FALSE ||
        ::SystemTimeToFileTime(&local, &localTime) == FALSE) {
        local = utcFields;
        localTime = utc;
    }
    const auto offset = (Ticks(localTime) - Ticks(utc)) / (60 * kTicksPerSecond);
    return {local.wYear,
            local.wMonth,
            local.wDay,
            local.wHour,
            local.wMinute,
            local.wSecond,
            static_cast<int>(offset)};
}

} // namespace platform
