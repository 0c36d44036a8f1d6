#pragma once

#include "platform/win32_types.h"

// The same tests run against each store: these say how to get a fresh one.
void FreshStore();
// Makes writes below a root fail; false where the store cannot do that.
bool MakeRootReadOnly(platform::HKEY root);
