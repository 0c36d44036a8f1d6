// A window written against Qt instead of the window-system interface.
#include "platform/gui/Form.h"

#include <QWidget>
