// A window written against Qt instead of the window-system interface.
#include "platform/Form.h"

#include <QWidget>
