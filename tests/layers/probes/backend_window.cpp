// The window system reaching up into a window.
#include "app/frmMain.h"
#include "platform/qt/Internals.h"
