#include "platform/error_text.h"

namespace platform {

std::string ErrorText(LONG code) {
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
        return "The system was unable to find the specified registry key or value.";
    case ERROR_PATH_NOT_FOUND:
        return "The system cannot find the path specified.";
    case ERROR_ACCESS_DENIED:
        return "Access is denied.";
    case ERROR_BAD_NETPATH:
        return "The network path was not found.";
    case ERROR_INVALID_PARAMETER:
        return "The parameter is incorrect.";
    case ERROR_BAD_PATHNAME:
        return "The specified path is invalid.";
    case ERROR_DISK_FULL:
        return "There is not enough space on the disk.";
    case ERROR_BUSY:
        return "The registry store is in use by another program; try again.";
    case ERROR_BADDB:
    case ERROR_REGISTRY_CORRUPT:
        return "The registry store is damaged.";
    case ERROR_REGISTRY_IO_FAILED:
        return "The registry store could not be read or written.";
    case ERROR_KEY_DELETED:
        return "The key was deleted while it was in use.";
    default:
        return "The operation failed with error " + std::to_string(code) + ".";
    }
}

} // namespace platform
