#pragma once

// The change log: a line for each change of a named slot's light, appended to
// a text file of tab-separated fields that a spreadsheet opens and `tail -f`
// follows. At kLimit bytes the file becomes its name with ".1", replacing
// the older one, and a new one begins.

#include "platform/clock.h"

#include <cstdint>
#include <string>
#include <string_view>

class ChangeLog {
public:
    static constexpr std::uint64_t kLimit = std::uint64_t{1} << 20;
    static constexpr std::string_view kHeader =
        "time\tslot\tname\taddress\tstate\tround trip (ms)\n";

    struct Change {
        platform::LocalTime when;
        int nSlot = 0;
        std::string sName;
        std::string sAddress;
        bool bOnline = false;
        std::string sRoundTrip; // as the reply gave it; empty when off
    };

    explicit ChangeLog(std::string sPath);

    // Appends the change's line, beginning the file (or a new one) with the
    // header. A log that cannot be written costs its caller nothing: the
    // first failure is told once on the console, the line is lost.
    void Append(const Change& change);

    // The change as its line: the local time in ISO 8601 with its offset,
    // the slot, the name, the address, "on" or "off", the round trip.
    static std::string Line(const Change& change);
    // The text with a backslash, a tab, a line break and every other control
    // character written as an escape (\\, \t, \n, \r, \x1b), so that a field
    // stays within its line and its column.
    static std::string Escape(std::string_view sText);

private:
    bool Write(const std::string& sLine);

    std::string m_sPath;
    bool m_bTold = false;
};
