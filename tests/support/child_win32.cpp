// A child program for the process tests on Windows: it behaves as its first
// argument says, writing with WriteFile so that no runtime changes a byte.

#include "test_support.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <windows.h>

namespace {

void Write(DWORD stream, const std::string& bytes) {
    DWORD written = 0;
    for (std::size_t at = 0; at < bytes.size(); at += written) {
        if (WriteFile(GetStdHandle(stream), bytes.data() + at,
                      static_cast<DWORD>(bytes.size() - at), &written, nullptr) == FALSE) {
            return;
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "interleave") {
        for (int i = 0; i < 5; ++i) {
            Write(STD_OUTPUT_HANDLE, "out" + std::to_string(i) + "\n");
            Write(STD_ERROR_HANDLE, "err" + std::to_string(i) + "\n");
        }
    } else if (mode == "bytes" && argc > 2) {
        // A pattern no seam can hide.
        const long n = std::atol(argv[2]);
        std::string data(static_cast<std::size_t>(n), '\0');
        for (long i = 0; i < n; ++i) {
            data[static_cast<std::size_t>(i)] = static_cast<char>('!' + i % 251 % 90);
        }
        for (std::size_t off = 0; off < data.size(); off += 100) {
            Write(STD_OUTPUT_HANDLE, data.substr(off, 100));
        }
    } else if (mode == "stdin") {
        char c = 0;
        DWORD read = 0;
        const BOOL ok = ReadFile(GetStdHandle(STD_INPUT_HANDLE), &c, 1, &read, nullptr);
        Write(STD_OUTPUT_HANDLE,
              "stdin read " + std::to_string(ok != FALSE ? static_cast<long>(read) : -1L) + "\n");
    } else if (mode == "linger") {
        Write(STD_OUTPUT_HANDLE, "going quiet\n");
        CloseHandle(GetStdHandle(STD_OUTPUT_HANDLE));
        CloseHandle(GetStdHandle(STD_ERROR_HANDLE));
        Sleep(static_cast<DWORD>(1000 * (argc > 2 ? std::atoi(argv[2]) : 2)));
    } else if (mode == "args") {
        std::string out;
        for (int i = 2; i < argc; ++i) {
            out += std::string("[") + argv[i] + "]";
        }
        Write(STD_OUTPUT_HANDLE, out);
    } else if (mode == "text") {
        Write(STD_OUTPUT_HANDLE, argc > 2 ? argv[2] : "");
    } else if (mode == "console") {
        // What a console program started hidden has for a console window.
        Write(STD_OUTPUT_HANDLE,
              GetConsoleWindow() == nullptr ? "no console window" : "a console window");
    } else if (mode == "until" && argc > 3) {
        // Writes nothing until the test makes the file, as a ping waiting for
        // its reply; a test that never does gets the text once the wait gives up.
        testing_support::WaitFor([&] { return std::filesystem::exists(argv[2]); });
        Write(STD_OUTPUT_HANDLE, argv[3]);
    }
    return 0;
}
