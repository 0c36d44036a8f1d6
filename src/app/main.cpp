// Netvigil: the main window runs the program, from its load step to the
// unloading of the last window.

#include "app/frmMain.h"
#include "platform/qt/App.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Netvigil");
    // Hidden in the tray, the program goes on without any window shown.
    QApplication::setQuitOnLastWindowClosed(false);
    platform::qt::InstallMessageBox();
    // Queued: the last unload often runs inside a popup menu's own loop.
    platform::qt::Form::SetLastFormUnloaded(
        [] { QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection); });
    auto* main = new frmMain;
    main->Load();
    return QApplication::exec();
}
