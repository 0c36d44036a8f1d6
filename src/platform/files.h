#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// Writes the bytes as the whole of the file, replacing what was there whole
// or not at all: through a new file with a name no one can guess, made beside
// it and renamed over it, so a link planted in the folder is never followed.
// False when the file could not be written; it is then as it was.
bool WriteFileWhole(const std::string& path, const std::string& bytes);

// Where Netvigil keeps a file of what it records as it runs, such as its
// change log: in $XDG_STATE_HOME/netvigil on Linux (~/.local/state/netvigil
// when that is unset or not an absolute path), in %LOCALAPPDATA%\Netvigil on
// Windows. The folder may not exist yet; empty when the system names no
// such place.
std::string StateFilePath(const std::string& name);

// Makes the folder that the file at path is to be in, and the folders above
// it, as needed (on Linux readable by the user alone). True when it exists.
bool CreateFolderFor(const std::string& path);

// The file's size in bytes; none when it does not exist or cannot be looked at.
std::optional<std::uint64_t> FileSize(const std::string& path);

// Adds the bytes at the end of the file, which is made when it is missing,
// in one write: what two programs append at once never interleaves. Nothing
// is forced to the disk.
bool AppendToFile(const std::string& path, const std::string& bytes);

// Gives the file at from the name to, replacing any file of that name.
bool RenameFile(const std::string& from, const std::string& to);

} // namespace platform
