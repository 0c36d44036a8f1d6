// A program's entry on Windows: its arguments from UTF-16 into UTF-8, and its
// text out through std::cout and std::cerr. A console takes characters
// (WriteConsoleW): bytes written to it would be read in the console's own
// code page, in which UTF-8 is garbled. A pipe or a file gets the bytes as
// before, unchanged.

#include "Program.h"
#include "platform/utf8.h"

#include <algorithm>
#include <iostream>
#include <optional>
#include <streambuf>
#include <string>
#include <string_view>
#include <vector>
#include <windows.h>

namespace {

class ConsoleBuffer final : public std::streambuf {
public:
    explicit ConsoleBuffer(HANDLE console) : m_console(console) {}
    ~ConsoleBuffer() override { Flush(); }
    ConsoleBuffer(const ConsoleBuffer&) = delete;
    ConsoleBuffer& operator=(const ConsoleBuffer&) = delete;

protected:
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof())) {
            return traits_type::not_eof(c);
        }
        const char one = traits_type::to_char_type(c);
        return xsputn(&one, 1) == 1 ? c : traits_type::eof();
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        const std::string_view text(s, static_cast<std::size_t>(n));
        m_pending += text;
        // A line shows when it is whole, as on a terminal.
        if (text.find('\n') != std::string_view::npos && !Flush()) {
            return 0;
        }
        return n;
    }
    int sync() override { return Flush() ? 0 : -1; }

private:
    // Everything but a character still cut short, which waits for its end.
    bool Flush() {
        const std::size_t whole = platform::WholeCharacters(m_pending);
        const std::wstring text =
            platform::Utf16<wchar_t>(std::string_view(m_pending).substr(0, whole));
        m_pending.erase(0, whole);
        for (std::size_t done = 0; done < text.size();) {
            DWORD written = 0;
            const auto chunk = static_cast<DWORD>(std::min<std::size_t>(text.size() - done, 8192));
            if (WriteConsoleW(m_console, text.data() + done, chunk, &written, nullptr) == FALSE ||
                written == 0) {
                return false;
            }
            done += written;
        }
        return true;
    }

    HANDLE m_console;
    std::string m_pending;
};

// While it lives, a stream whose handle is a console writes to it as
// characters.
class ConsoleStream {
public:
    ConsoleStream(std::ostream& stream, DWORD which) : m_stream(stream) {
        const HANDLE handle = GetStdHandle(which);
        DWORD mode = 0;
        if (handle != nullptr && handle != INVALID_HANDLE_VALUE &&
            GetConsoleMode(handle, &mode) != FALSE) {
            m_buffer.emplace(handle);
            m_previous = m_stream.rdbuf(&*m_buffer);
        }
    }
    ~ConsoleStream() {
        if (m_previous != nullptr) {
            m_stream.flush();
            m_stream.rdbuf(m_previous);
        }
    }
    ConsoleStream(const ConsoleStream&) = delete;
    ConsoleStream& operator=(const ConsoleStream&) = delete;

private:
    std::ostream& m_stream;
    std::optional<ConsoleBuffer> m_buffer;
    std::streambuf* m_previous = nullptr;
};

} // namespace

int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    for (int i = 0; i < argc; ++i) {
        args.push_back(platform::Utf8FromUtf16(std::wstring_view(argv[i])));
    }
    std::vector<char*> pointers;
    for (std::string& arg : args) {
        pointers.push_back(arg.data());
    }
    pointers.push_back(nullptr);
    const ConsoleStream out(std::cout, STD_OUTPUT_HANDLE);
    const ConsoleStream err(std::cerr, STD_ERROR_HANDLE);
    return ProgramMain(argc, pointers.data());
}
