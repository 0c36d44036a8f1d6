#pragma once

#include <sys/socket.h>
