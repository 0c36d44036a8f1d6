// Netvigil: the main window runs the program, from its load step to the
// unloading of the last window. One runs per user session: a later start
// brings that one's board to the front instead, or, started hidden, leaves
// it as it is; either way it ends at once.

#include "app/frmMain.h"
#include "platform/gui/App.h"
#include "platform/gui/Instance.h"
#include "settings/Settings.h"

int main(int argc, char** argv) {
    int exitCode = 0;
    const int run = platform::Run(argc, argv, settings::kAppName, [&exitCode] {
        if (platform::ClaimInstance()) {
            (new frmMain)->Load();
        } else if (!frmMain::HideRequested(platform::Command()) && !platform::ActivateInstance()) {
            // The running one did not answer: a script that started this one
            // learns that nothing came to the front.
            exitCode = 1;
        }
    });
    return run != 0 ? run : exitCode;
}
