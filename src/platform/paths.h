#pragma once

#include <string>

namespace platform {

// Netvigil's directory of platform commands (ping, explorer, shutdown, the
// browser launcher): NETVIGIL_LIBEXEC when set, else libexec/netvigil beside
// the running program's bin/ (installed or build tree), else the configured
// installation directory, else the build tree's.
std::string LibexecDirectory();

// The absolute path of the running program.
std::string ExecutablePath();

} // namespace platform
