#pragma once

#include <string>

namespace platform {

// Writes the bytes as the whole of the file, replacing what was there whole
// or not at all: through a new file with a name no one can guess, made beside
// it and renamed over it, so a link planted in the folder is never followed.
// False when the file could not be written; it is then as it was.
bool WriteFileWhole(const std::string& path, const std::string& bytes);

} // namespace platform
