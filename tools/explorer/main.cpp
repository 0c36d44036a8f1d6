// explorer \\HOST[\share[\path]]: opens the host's shares in the desktop's file
// manager, as smb://HOST/share/path (an IPv6 address in brackets, what a URI
// cannot hold percent-encoded). Anything else opens nothing.
// NETVIGIL_DRY_RUN set: prints the command instead of running it.

#include "RunOrPrint.h"
#include "smb_uri.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

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
    const auto uri = argc == 2 ? netvigil_explorer::SmbUri(argv[1]) : std::nullopt;
    if (!uri) {
        std::fprintf(stderr, "explorer: can open only \\\\HOST or \\\\HOST\\SHARE, not \"%s\"\n",
                     argc == 2 ? argv[1] : "");
        return 2;
    }
    std::vector<std::string> command = OnPath("gio") ? std::vector<std::string>{"gio", "open", *uri}
                                                     : std::vector<std::string>{"xdg-open", *uri};
    return RunOrPrint(
        std::move(command),
        "explorer: cannot start the file manager (install gvfs-backends and a file manager)");
}
