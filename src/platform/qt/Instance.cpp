#include "platform/gui/Instance.h"

#include "platform/gui/Form.h"
#include "platform/qt/Internals.h"

#include <QApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

#include <sys/socket.h>
#include <unistd.h>

namespace platform {

namespace {

// A later start's one request, and the answer of the process that took it.
constexpr char kActivate = 'A';
constexpr char kTaken = 'T';
constexpr int kWaitMs = 5000;

// The session is the user and the display the windows go to: a user logged
// in on two desktops at once shares one runtime directory and one session
// bus between them under systemd, yet wants a board on each. The name is in
// the abstract socket namespace: no file, nothing that outlives its process
// however that ends, and the kernel binds a name to one socket alone, so two
// starts at the same moment cannot both hold it.
QString InstanceName() {
    QString display = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (display.isEmpty()) {
        display = qEnvironmentVariable("DISPLAY");
        // ":0.0" is the display ":0".
        const qsizetype colon = display.lastIndexOf(u':');
        const qsizetype dot = display.indexOf(u'.', colon);
        if (colon >= 0 && dot > colon) {
            display.truncate(dot);
        }
    }
    return QStringLiteral("org.netvigil.Netvigil.%1.%2").arg(::getuid()).arg(display);
}

// Any user may bind or reach a name in the abstract namespace: the peer must
// be this user.
bool FromThisUser(const QLocalSocket& socket) {
    ucred peer{};
    socklen_t size = sizeof peer;
    return ::getsockopt(static_cast<int>(socket.socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &peer,
                        &size) == 0 &&
           peer.uid == ::getuid();
}

// Whether a window came forward: none does while the program starts or ends.
bool Activate() {
    Form* form = core::HandleActivateRequest();
    if (form == nullptr) {
        return false;
    }
    QWidget* front = QApplication::activeModalWidget();
    if (front == nullptr) {
        front = form->Internals().window;
    }
    front->raise();
    front->activateWindow();
    return true;
}

void Answer(QLocalSocket* peer) {
    if (peer->readAll().contains(kActivate) && Activate()) {
        peer->write(&kTaken, 1);
    }
    peer->disconnectFromServer();
}

void Serve(QLocalServer* server) {
    while (QLocalSocket* peer = server->nextPendingConnection()) {
        QObject::connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
        if (!FromThisUser(*peer)) {
            peer->abort();
            continue;
        }
        QObject::connect(peer, &QLocalSocket::readyRead, peer, [peer] { Answer(peer); });
    }
}

void Connect(QLocalSocket& socket) {
    socket.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
    socket.connectToServer(InstanceName());
}

} // namespace

bool ClaimInstance() {
    const QString name = InstanceName();
    // A holder that is ending has its name still bound for a moment.
    for (int attempt = 0; attempt < 40; ++attempt) {
        auto* server = new QLocalServer(qApp);
        server->setSocketOptions(QLocalServer::AbstractNamespaceOption);
        if (server->listen(name)) {
            // Listening until the program ends, which closes it.
            QObject::connect(server, &QLocalServer::newConnection, server,
                             [server] { Serve(server); });
            return true;
        }
        const bool inUse = server->serverError() == QAbstractSocket::AddressInUseError;
        delete server;
        if (!inUse) {
            return true;
        }
        QLocalSocket running;
        Connect(running);
        if (running.waitForConnected(kWaitMs)) {
            // Another user's program on this user's name keeps no board of
            // ours away.
            return !FromThisUser(running);
        }
        QThread::msleep(50);
    }
    return true;
}

bool ActivateInstance() {
    QLocalSocket socket;
    Connect(socket);
    if (!socket.waitForConnected(kWaitMs) || !FromThisUser(socket) ||
        socket.write(&kActivate, 1) != 1 || !socket.waitForBytesWritten(kWaitMs)) {
        return false;
    }
    while (socket.bytesAvailable() == 0) {
        if (!socket.waitForReadyRead(kWaitMs)) {
            return false;
        }
    }
    return socket.read(1) == QByteArray(1, kTaken);
}

} // namespace platform
