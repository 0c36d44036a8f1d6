#pragma once

// What explorer makes of its argument, apart from main, so tests and fuzzers
// reach it without a file manager.

#include <optional>
#include <string>

namespace netvigil_explorer {

// \\HOST[\share[\path]][\] as smb://HOST/share/path/: an IPv6 address in
// brackets, what a URI cannot hold percent-encoded. Nothing for a name that
// could pass for an option, a user or a port, or a path that leaves the share.
std::optional<std::string> SmbUri(const std::string& unc);

} // namespace netvigil_explorer
