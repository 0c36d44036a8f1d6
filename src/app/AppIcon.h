#pragma once

#include <QIcon>

// Netvigil's own icon (resources/netvigil.svg), drawn at the sizes windows and
// notification areas ask for.
QIcon NetvigilIcon();
