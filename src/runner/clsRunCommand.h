#pragma once

#include <cstdint>
#include <string>

// Runs one console command line as a hidden child process, its standard
// output and standard error on one pipe, and returns everything it wrote.
// Every failure is swallowed: empty (or partial) text is the only sign.
class clsRunCommand {
public:
    // sSearchText and nCaseSensitive are part of the call but play no part in
    // it: callers search the text themselves. nShowMsgBox -1 also shows the
    // text in a modal message box before returning.
    std::string GetRtnText(const std::string& sAppName, const std::string& sSearchText,
                           std::int16_t nCaseSensitive, std::int16_t nShowMsgBox);

private:
    std::string CaptureOutput(const std::string& sAppName);
};
