#pragma once

// Where Netvigil keeps its settings, as both windows read and write them:
// the application and its two sections in the per-user settings store, the
// keys of the 20 host slots, and the defaults. Every value is text; colours
// are 0x00BBGGRR integers written in decimal.

#include <cstdint>
#include <string>

namespace settings {

inline constexpr const char* kAppName = "Netvigil";
inline constexpr const char* kSettings = "Settings";
inline constexpr const char* kRemoteHosts = "Remote Hosts";

// In "Settings": the board's background and the colour of its names.
inline constexpr const char* kBackcolor = "Backcolor";
inline constexpr const char* kTextcolor = "Textcolor";
// The options window has always read the text colour under this spelling;
// the store matches names without regard to case, so both reach one value.
inline constexpr const char* kTextColorAsRead = "TextColor";

inline constexpr std::int32_t kDefaultBackColor = 128;      // dark red
inline constexpr std::int32_t kDefaultTextColor = 16777215; // white

// The host slots, numbered from 1. Their keys in "Remote Hosts" end in the
// slot number, in decimal with no leading zero.
inline constexpr int kSlots = 20;
inline std::string HostKey(int n) {
    return "Host " + std::to_string(n);
}
inline std::string AddressKey(int n) {
    return "IP Address " + std::to_string(n);
}
inline std::string BalloonKey(int n) {
    return "Display Balloon " + std::to_string(n);
}

} // namespace settings
