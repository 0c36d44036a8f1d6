#pragma once

#include <string>

namespace platform {

// Netvigil's directory of platform commands (ping, explorer, shutdown, the
// browser launcher): NETVIGIL_LIBEXEC when set, else libexec/netvigil beside
// the running program's bin/ (installed or build tree), else the configured
// installation directory, else the build tree's.
std::string LibexecDirectory();

// Where a program named on a command line is run from: a name with a slash
// as it stands, else Netvigil's directory of platform commands, then PATH.
// Empty when there is no such executable file.
std::string FindProgram(const std::string& name);

// The absolute path of the running program.
std::string ExecutablePath();

} // namespace platform
