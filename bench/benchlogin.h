#ifndef BENCHLOGIN_H
#define BENCHLOGIN_H

// A main window logged in to a loopback server that accepts every login and, as zmsgd does,
// takes confirmations of pushed messages, for benchmarks that measure a session.

#include "frmLogin.h"
#include "tlstestserver.h"

#include <QLineEdit>
#include <QPushButton>

namespace Bench {

// Starts server, points the library at it and logs window in through its login form.
inline bool logInToLoopback(frmLogin &window, TlsTestServer &server)
{
    server.setLineHandler([](const QByteArray &line) -> QByteArray {
        if (line.startsWith("ZM/1.1 login"))
            return "ZM/1.1 return --id=200 --ack=1\n";
        if (line.contains("--rq=nick"))
            return "ZM/1.1 return --rq=nick --id=200 --nick=Me\n";
        return QByteArray();
    });
    if (!server.listenOnLoopback())
        return false;
    server.exportEndpoint();
    window.findChild<QLineEdit *>(QStringLiteral("txtName"))->setText(QStringLiteral("me"));
    window.findChild<QLineEdit *>(QStringLiteral("txtPassword"))->setText(QStringLiteral("pw"));
    window.findChild<QPushButton *>(QStringLiteral("cmdLogin"))->click();
    return window.isSessionLoggedIn();
}

} // namespace Bench

#endif
