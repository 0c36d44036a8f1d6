// A child program for the process tests: it behaves as its first argument says.

#include "test_support.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <filesystem>
#include <string>
#include <unistd.h>

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "interleave") {
        // Alternating between the two streams, unbuffered, so the order is known.
        for (int i = 0; i < 5; ++i) {
            dprintf(1, "out%d\n", i);
            dprintf(2, "err%d\n", i);
        }
    } else if (mode == "bytes" && argc > 2) {
        // A pattern no seam can hide: byte i is i mod 251.
        const long n = std::atol(argv[2]);
        std::string data(static_cast<std::size_t>(n), '\0');
        for (long i = 0; i < n; ++i) {
            data[static_cast<std::size_t>(i)] = static_cast<char>('!' + i % 251 % 90);
        }
        for (std::size_t off = 0; off < data.size();) {
            const ssize_t w =
                write(1, data.data() + off, std::min<std::size_t>(100, data.size() - off));
            off += static_cast<std::size_t>(w > 0 ? w : 0);
        }
    } else if (mode == "fds") {
        DIR* dir = opendir("/proc/self/fd");
        const int own = dirfd(dir);
        for (dirent* e; (e = readdir(dir)) != nullptr;) {
            if (e->d_name[0] != '.' && std::atoi(e->d_name) != own) {
                std::printf("%s\n", e->d_name);
            }
        }
        closedir(dir);
    } else if (mode == "stdin") {
        char c;
        const ssize_t n = read(0, &c, 1);
        std::printf("stdin read %zd\n", n);
    } else if (mode == "linger") {
        std::printf("going quiet\n");
        std::fflush(stdout);
        close(1);
        close(2);
        sleep(static_cast<unsigned>(argc > 2 ? std::atoi(argv[2]) : 2));
    } else if (mode == "args") {
        for (int i = 2; i < argc; ++i) {
            std::printf("[%s]", argv[i]);
        }
    } else if (mode == "text") {
        std::fputs(argc > 2 ? argv[2] : "", stdout);
    } else if (mode == "until" && argc > 3) {
        // Writes nothing until the test makes the file, as a ping waiting for
        // its reply; a test that never does gets the text once the wait gives up.
        testing_support::WaitFor([&] { return std::filesystem::exists(argv[2]); });
        std::fputs(argv[3], stdout);
    }
    return 0;
}
