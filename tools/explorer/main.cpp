// explorer \\HOST[\share[\path]]: opens the host's shares in the desktop's file
// manager, as smb://HOST/share/path. Anything else opens nothing.
// NETVIGIL_DRY_RUN set: prints the command instead of running it.

#include "RunOrPrint.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

bool Plain(const std::string& part) {
    if (part.empty() || part.front() == '-' || part == "." || part == "..") {
        return false;
    }
    for (const char c : part) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F || c == '/' || c == ' ' || c == '\t' || c == '%' || c == '?' ||
            c == '#' || c == '@') {
            return false;
        }
    }
    return true;
}

bool OnPath(const char* program) {
    const char* path = std::getenv("PATH");
    std::string dirs = path != nullptr ? path : "/usr/bin:/bin";
    for (std::size_t start = 0; start <= dirs.size();) {
        const auto colon = std::min(dirs.find(':', start), dirs.size());
        if (::access((dirs.substr(start, colon - start) + "/" + program).c_str(), X_OK) == 0) {
            return true;
        }
        start = colon + 1;
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    const std::string arg = argc == 2 ? argv[1] : "";
    std::string uri = "smb://";
    bool valid = arg.size() > 2 && arg.starts_with("\\\\");
    std::size_t start = 2;
    for (bool host = true; valid && start <= arg.size(); host = false) {
        const auto sep = std::min(arg.find('\\', start), arg.size());
        const std::string part = arg.substr(start, sep - start);
        if (!(part.empty() && !host && sep == arg.size())) {
            valid = Plain(part);
            uri += part + "/";
        }
        start = sep + 1;
    }
    if (!valid) {
        std::fprintf(stderr, "explorer: can open only \\\\HOST or \\\\HOST\\SHARE, not \"%s\"\n",
                     argc == 2 ? argv[1] : "");
        return 2;
    }
    std::vector<std::string> command = OnPath("gio") ? std::vector<std::string>{"gio", "open", uri}
                                                     : std::vector<std::string>{"xdg-open", uri};
    return RunOrPrint(
        std::move(command),
        "explorer: cannot start the file manager (install gvfs-backends and a file manager)");
}
