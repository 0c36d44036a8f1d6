// A class reaching past the platform interfaces into the Linux backend.
#include "platform/posix/spawn.h"
#include "platform/process.h"
