// Netvigil: the main window runs the program, from its load step to the
// unloading of the last window.

#include "app/frmMain.h"
#include "platform/App.h"
#include "settings/Settings.h"

int main(int argc, char** argv) {
    return platform::Run(argc, argv, settings::kAppName, [] { (new frmMain)->Load(); });
}
