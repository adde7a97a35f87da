#include "zmsgdconnection.h"

#include "zmsgdlog.h"
#include "zmsgdprotocol11.h"

#include <zmsgfwwire.h>

#include <QHostAddress>
#include <QSslSocket>

ZmsgdConnection::ZmsgdConnection(QSslSocket *socket, ZmsgdService *service, const ZmsgdConfig &config, QObject *parent)
    : QObject(parent)
    , m_socket(socket)
    , m_service(service)
    , m_loginTimeoutMs(config.loginTimeoutMs)
    , m_addressKey(ZmsgdLoginThrottle::addressKey(socket->peerAddress()))
{
    socket->setParent(this);
    socket->setReadBufferSize(64 * 1024);
    // Replies and pushes are small lines that must not wait for the peer's acknowledgements.
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    m_client.address = socket->peerAddress().toString();
    connect(socket, &QSslSocket::encrypted, this, &ZmsgdConnection::onEncrypted);
    connect(socket, &QSslSocket::readyRead, this, &ZmsgdConnection::onReadyRead);
    connect(socket, &QSslSocket::bytesWritten, this, &ZmsgdConnection::onBytesWritten);
    connect(socket, &QSslSocket::encryptedBytesWritten, this, &ZmsgdConnection::onBytesWritten);
    connect(socket, &QSslSocket::disconnected, this, &ZmsgdConnection::onDisconnected);
    connect(socket, qOverload<const QList<QSslError> &>(&QSslSocket::sslErrors), this,
            [this](const QList<QSslError> &) { close(); });
    connect(socket, &QAbstractSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        if (error != QAbstractSocket::RemoteHostClosedError)
            ZmsgdLog::event(describe() + QStringLiteral(" socket error: ") + m_socket->errorString());
        close();
    });
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        if (!m_socket || !m_socket->isEncrypted()) {
            ZmsgdLog::event(describe() + QStringLiteral(" TLS handshake timed out"));
            close();
        } else if (m_user.isEmpty()) {
            ZmsgdLog::event(describe() + QStringLiteral(" no login in time"));
            close();
        } else {
            becomeReady();
        }
    });
    m_timer.start(config.handshakeTimeoutMs);
    ZmsgdLog::event(describe() + QStringLiteral(" connected"));
}

ZmsgdConnection::~ZmsgdConnection()
{
    if (m_attached)
        m_service->detach(this);
}

QString ZmsgdConnection::describe() const
{
    QString text = QStringLiteral("messaging ") + m_client.address;
    if (m_socket)
        text += QLatin1Char(':') + QString::number(m_socket->peerPort());
    if (!m_user.isEmpty())
        text += QStringLiteral(" (") + m_user + QLatin1Char(')');
    return text;
}

void ZmsgdConnection::onEncrypted()
{
    m_timer.start(m_loginTimeoutMs);
    processInput();
}

void ZmsgdConnection::onReadyRead()
{
    processInput();
}

bool ZmsgdConnection::readyForMessages() const
{
    return m_attached && m_deliveryReady && !m_closing && pendingOutput() < OutputHighWater
        && m_inFlight.size() < MaxUnconfirmedPushes;
}

qint64 ZmsgdConnection::pendingOutput() const
{
    if (!m_socket)
        return 0;
    return m_socket->bytesToWrite() + m_socket->encryptedBytesToWrite();
}

void ZmsgdConnection::processInput()
{
    int handled = 0;
    while (m_socket && !m_closing && !m_waiting && pendingOutput() < OutputHighWater) {
        const int newline = m_input.indexOf('\n');
        if (newline >= 0) {
            const QByteArray line = m_input.left(newline + 1);
            m_input.remove(0, newline + 1);
            if (m_discarding)
                m_discarding = false;
            else
                handleLine(line);
            // A client that sends a flood must not keep the others waiting for their turn.
            if (++handled >= LinesPerTurn) {
                if (!m_moreInputScheduled) {
                    m_moreInputScheduled = true;
                    QTimer::singleShot(0, this, [this] {
                        m_moreInputScheduled = false;
                        processInput();
                    });
                }
                return;
            }
            continue;
        }
        if (m_input.size() > MaxLineLength) {
            if (!m_discarding)
                lineTooLong();
            m_input.clear();
        }
        const QByteArray more = m_socket->read(64 * 1024);
        if (more.isEmpty())
            return;
        m_input += more;
    }
}

void ZmsgdConnection::lineTooLong()
{
    m_discarding = true;
    ZmsgdLog::event(describe() + QStringLiteral(" sent an overlong line"));
    switch (m_protocol) {
    case Protocol::V11:
        send(ZmsgdProtocol11::errorReply(ZmsgdCode::TooLong, QStringLiteral("linetoolong")));
        break;
    case Protocol::V10:
        send(ZmsgdProtocol10::statusLine(ZmsgdCode::TooLong));
        break;
    case Protocol::Unknown:
        close();
        break;
    }
}

void ZmsgdConnection::handleLine(const QByteArray &raw)
{
    const QString line = ZMsgFwWire::decodeLine(raw);
    if (m_protocol == Protocol::Unknown) {
        if (line.isEmpty())
            return;
        if (line.startsWith(QLatin1String("ZM/1.1 ")) || line == QLatin1String("ZM/1.1")) {
            m_protocol = Protocol::V11;
        } else if (ZmsgdProtocol10::isCommandLine(line)) {
            m_protocol = Protocol::V10;
        } else {
            ZmsgdLog::event(describe() + QStringLiteral(" spoke no known protocol"));
            send(ZmsgdProtocol11::errorReply(ZmsgdCode::BadRequest, QStringLiteral("unknownprotocol")));
            close();
            return;
        }
    }
    if (m_protocol == Protocol::V11)
        handleLine11(line);
    else
        handleLine10(line);
}

void ZmsgdConnection::handleLine11(const QString &line)
{
    if (line.isEmpty())
        return;
    const QStringList words = ZMsgFwWire::splitWords(line);
    if (m_user.isEmpty()) {
        ZmsgdProtocol11::LoginRequest login;
        if (!ZmsgdProtocol11::parseLogin(words, &login)) {
            send(ZmsgdProtocol11::notLoggedInReply(words));
            return;
        }
        waitFor(
            [this, login](ZmsgdService::Done done) {
                m_service->checkLogin(login.user, login.password, m_addressKey, this, done);
            },
            [this, login](int code) {
                send(ZmsgdProtocol11::loginReply(code));
                if (code == ZmsgdCode::Ok)
                    loginSucceeded(login.user, login.client);
                else
                    loginFailed();
            });
        return;
    }
    QString oldPassword;
    QString newPassword;
    if (ZmsgdProtocol11::parsePasswordChange(words, &oldPassword, &newPassword)) {
        waitFor(
            [this, oldPassword, newPassword](ZmsgdService::Done done) {
                m_service->changePassword(m_user, oldPassword, newPassword, m_addressKey, this, done);
            },
            [this](int code) {
                send(ZmsgdProtocol11::passwordChangeReply(code));
                becomeReady();
            });
        return;
    }
    qint64 acknowledged = 0;
    if (ZmsgdProtocol11::parseAcknowledgement(words, &acknowledged)) {
        acknowledge(acknowledged);
        return;
    }
    send(ZmsgdProtocol11::reply(m_service, m_user, words));
    // The first answer after the login has gone out: stored messages may follow now.
    becomeReady();
}

void ZmsgdConnection::waitFor(const std::function<void(ZmsgdService::Done)> &start,
                              const std::function<void(int)> &answer)
{
    m_waiting = true;
    // The client has sent what it was waiting to send; the check may take its while.
    if (m_user.isEmpty())
        m_timer.stop();
    start([this, answer](int code) {
        m_waiting = false;
        answer(code);
        if (m_closing)
            return;
        if (m_user.isEmpty() && !m_timer.isActive())
            m_timer.start(m_loginTimeoutMs);
        runCommands10();
        processInput();
    });
}

void ZmsgdConnection::handleLine10(const QString &line)
{
    bool stray = false;
    m_commands10 += m_parser10.feed(line, &stray);
    if (stray)
        send(ZmsgdProtocol10::statusLine(ZmsgdCode::BadRequest));
    runCommands10();
}

void ZmsgdConnection::runCommands10()
{
    while (!m_commands10.isEmpty() && !m_waiting && !m_closing)
        handleCommand10(m_commands10.takeFirst());
}

void ZmsgdConnection::handleCommand10(const ZmsgdProtocol10::Command &command)
{
    if (m_user.isEmpty()) {
        if (command.name == QLatin1String("poke"))
            return;
        if (command.name != QLatin1String("login")) {
            send(ZmsgdProtocol10::statusLine(ZmsgdCode::NotLoggedIn));
            return;
        }
        const QString user = command.headers.value(QStringLiteral("Username"));
        const QString password = command.headers.value(QStringLiteral("Password"));
        waitFor([this, user, password](
                    ZmsgdService::Done done) { m_service->checkLogin(user, password, m_addressKey, this, done); },
                [this, user](int code) {
                    send(ZmsgdProtocol10::statusLine(code));
                    if (code == ZmsgdCode::Ok)
                        loginSucceeded(user, ZmsgdClientInfo{QString(), QStringLiteral("1.0"), m_client.address});
                    else
                        loginFailed();
                });
        return;
    }
    if (command.name == QLatin1String("setuserpassword")) {
        const QString oldPassword = command.headers.value(QStringLiteral("Password old"));
        const QString newPassword = command.headers.value(QStringLiteral("Password new"));
        waitFor(
            [this, oldPassword, newPassword](ZmsgdService::Done done) {
                m_service->changePassword(m_user, oldPassword, newPassword, m_addressKey, this, done);
            },
            [this](int code) {
                send(ZmsgdProtocol10::statusLine(code));
                becomeReady();
            });
        return;
    }
    const QByteArray answer = ZmsgdProtocol10::reply(m_service, m_user, command);
    if (!answer.isEmpty())
        send(answer);
    becomeReady();
}

void ZmsgdConnection::loginSucceeded(const QString &user, const ZmsgdClientInfo &client)
{
    m_user = user;
    m_client.system = client.system;
    m_client.version = client.version;
    m_attached = true;
    m_service->attach(this);
    m_timer.start(DeliveryDelayMs);
    ZmsgdLog::event(describe() + QStringLiteral(" logged in"));
}

void ZmsgdConnection::loginFailed()
{
    ++m_failedLogins;
    ZmsgdLog::event(describe() + QStringLiteral(" login refused"));
    if (m_failedLogins >= MaxFailedLogins) {
        ZmsgdLog::event(describe() + QStringLiteral(" closed after too many failed logins"));
        close();
    }
}

void ZmsgdConnection::becomeReady()
{
    if (m_deliveryReady || !m_attached)
        return;
    m_deliveryReady = true;
    m_timer.stop();
    const QList<QByteArray> held = m_heldPushes;
    m_heldPushes.clear();
    for (const QByteArray &bytes : held)
        send(bytes);
    m_service->deliverPending(this);
}

void ZmsgdConnection::send(const QByteArray &bytes)
{
    if (!m_socket || m_closing || bytes.isEmpty())
        return;
    if (pendingOutput() + bytes.size() > OutputHardLimit) {
        ZmsgdLog::event(describe() + QStringLiteral(" does not read its input; closed"));
        close();
        return;
    }
    m_socket->write(bytes);
    m_queued += bytes.size();
}

void ZmsgdConnection::sendPush(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return;
    if (m_deliveryReady) {
        send(bytes);
        return;
    }
    // Right after the login the client waits for its own replies; pushes wait a moment.
    if (m_heldPushes.size() < MaxHeldPushes)
        m_heldPushes << bytes;
}

void ZmsgdConnection::pushMessage(const ZmsgdStoredMessage &message)
{
    const QByteArray line = m_protocol == Protocol::V10
        ? ZmsgdProtocol10::messagePush(message.sender, message.body)
        : ZmsgdProtocol11::messageLine(message.id, message.sender, message.body);
    m_lastPushed = qMax(m_lastPushed, message.id);
    if (line.isEmpty()) {
        // Cannot be framed on this protocol: give it up rather than retry it forever.
        m_service->confirmDelivered({message.id});
        return;
    }
    send(line);
    m_inFlight.append(qMakePair(message.id, m_queued));
    confirmWritten();
}

void ZmsgdConnection::pushPoke(const QString &from)
{
    sendPush(m_protocol == Protocol::V10 ? ZmsgdProtocol10::pokePush(from) : ZmsgdProtocol11::pokeLine(from));
}

void ZmsgdConnection::pushStateChange(const QString &user, int state)
{
    if (m_protocol == Protocol::V11)
        sendPush(ZmsgdProtocol11::stateLine(user, state));
}

void ZmsgdConnection::pushRequests(const QStringList &requesters)
{
    if (m_protocol == Protocol::V11)
        sendPush(ZmsgdProtocol11::requestsLine(requesters));
}

void ZmsgdConnection::acknowledge(qint64 id)
{
    m_clientConfirms = true;
    if (id <= 0)
        return;
    // Only what was pushed on this connection: a client cannot drop messages it never got.
    for (int i = 0; i < m_inFlight.size(); ++i) {
        if (m_inFlight.at(i).first != id)
            continue;
        const bool wasFull = m_inFlight.size() >= MaxUnconfirmedPushes;
        m_inFlight.removeAt(i);
        m_service->confirmDelivered({id});
        if (wasFull)
            m_service->deliverPending(this);
        return;
    }
}

void ZmsgdConnection::confirmWritten()
{
    if (m_clientConfirms)
        return;
    // Encrypted bytes cannot be mapped back to messages: confirm only once the TLS layer has
    // handed everything it encrypted to the system, so a stop right now loses nothing.
    if (!m_socket || m_inFlight.isEmpty() || m_socket->encryptedBytesToWrite() > 0)
        return;
    // Everything queued minus what still waits in front of the TLS layer has been handed on.
    const qint64 handedOn = m_queued - m_socket->bytesToWrite();
    QList<qint64> done;
    while (!m_inFlight.isEmpty() && m_inFlight.first().second <= handedOn)
        done << m_inFlight.takeFirst().first;
    if (!done.isEmpty())
        m_service->confirmDelivered(done);
}

void ZmsgdConnection::onBytesWritten()
{
    confirmWritten();
    if (m_closing || !m_socket)
        return;
    if (pendingOutput() <= OutputLowWater) {
        processInput();
        if (m_attached && m_deliveryReady)
            m_service->deliverPending(this);
    }
}

void ZmsgdConnection::onDisconnected()
{
    close();
}

void ZmsgdConnection::close()
{
    if (m_closing)
        return;
    m_closing = true;
    m_timer.stop();
    if (m_attached) {
        m_attached = false;
        m_service->detach(this);
    }
    if (m_clientConfirms && !m_inFlight.isEmpty())
        ZmsgdLog::event(describe()
                        + QStringLiteral(" left %1 pushed messages unconfirmed; they are kept").arg(m_inFlight.size()));
    ZmsgdLog::event(describe() + QStringLiteral(" disconnected"));
    if (m_socket) {
        // The socket outlives the connection just long enough to send what is queued.
        QSslSocket *socket = m_socket;
        socket->disconnect(this);
        // Parented to the server's connection holder, so stopping the server still frees it.
        socket->setParent(parent());
        if (socket->state() == QAbstractSocket::UnconnectedState) {
            socket->deleteLater();
        } else {
            connect(socket, &QSslSocket::disconnected, socket, &QObject::deleteLater);
            QTimer::singleShot(5000, socket, [socket] {
                socket->abort();
                socket->deleteLater();
            });
            socket->disconnectFromHost();
        }
        m_socket = nullptr;
    }
    emit finished();
    deleteLater();
}
