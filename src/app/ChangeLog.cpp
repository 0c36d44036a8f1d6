#include "app/ChangeLog.h"

#include "platform/files.h"
#include "platform/message_box.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

using namespace platform;

ChangeLog::ChangeLog(std::string sPath) : m_sPath(std::move(sPath)) {}

void ChangeLog::Append(const Change& change) {
    if (!Write(Line(change)) && !m_bTold) {
        m_bTold = true;
        ConsoleNote("Netvigil: cannot write the change log " + m_sPath +
                    "; the board carries on without it.");
    }
}

bool ChangeLog::Write(const std::string& sLine) {
    if (m_sPath.empty()) {
        return false;
    }
    auto size = FileSize(m_sPath);
    if (size && *size > kHeader.size() && *size + sLine.size() > kLimit &&
        RenameFile(m_sPath, m_sPath + ".1")) {
        size.reset();
    }
    const std::string sBytes = size.value_or(0) == 0 ? std::string(kHeader) + sLine : sLine;
    // The folder is made when it is first missing, and again should it go.
    return AppendToFile(m_sPath, sBytes) ||
           (CreateFolderFor(m_sPath) && AppendToFile(m_sPath, sBytes));
}

std::string ChangeLog::Line(const Change& change) {
    const LocalTime& t = change.when;
    const int offset = std::abs(t.offsetMinutes);
    char when[40];
    std::snprintf(when, sizeof when, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d", t.year, t.month,
                  t.day, t.hour, t.minute, t.second, t.offsetMinutes < 0 ? '-' : '+', offset / 60,
                  offset % 60);
    return std::string(when) + '\t' + std::to_string(change.nSlot) + '\t' + Escape(change.sName) +
           '\t' + Escape(change.sAddress) + '\t' + (change.bOnline ? "on" : "off") + '\t' +
           change.sRoundTrip + '\n';
}

std::string ChangeLog::Escape(std::string_view sText) {
    std::string sOut;
    sOut.reserve(sText.size());
    for (const char c : sText) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '\\':
            sOut += "\\\\";
            break;
        case '\t':
            sOut += "\\t";
            break;
        case '\n':
            sOut += "\\n";
            break;
        case '\r':
            sOut += "\\r";
            break;
        default:
            if (byte < 0x20 || byte == 0x7F) {
                char escape[5];
                std::snprintf(escape, sizeof escape, "\\x%02x", byte);
                sOut += escape;
            } else {
                sOut += c;
            }
        }
    }
    return sOut;
}
