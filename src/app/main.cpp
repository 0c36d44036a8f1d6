// Netvigil: shows the board, fills it from the settings store and sweeps the
// hosts every five seconds. Start-up, menus and the tray icon are to come.

#include "app/frmMain.h"
#include "platform/qt/App.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Netvigil");
    platform::qt::InstallMessageBox();
    auto* main = new frmMain;
    main->LoadSettings();
    main->Show();
    main->Image1->ZOrder();
    main->tmrPING.SetEnabled(true);
    QObject::connect(main, &QObject::destroyed, &app, &QApplication::quit);
    return QApplication::exec();
}
