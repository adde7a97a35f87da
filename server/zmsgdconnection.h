#ifndef ZMSGDCONNECTION_H
#define ZMSGDCONNECTION_H

#include "zmsgdconfig.h"
#include "zmsgdprotocol10.h"
#include "zmsgdservice.h"

#include <zmsgfwwire.h>

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QTimer>

class QSslSocket;

// One client on the messaging port. The first line tells the protocol generation apart;
// after a successful login the connection is a peer of the service and gets pushes.
// Input is read only while the client keeps reading its own output, so neither side can
// make the server buffer without limit. While a password is checked (off the event loop) the
// client's later lines wait, so every answer still comes in order.
class ZmsgdConnection : public QObject, public ZmsgdPeer
{
    Q_OBJECT
public:
    enum class Protocol { Unknown, V11, V10 };

    static constexpr int MaxLineLength = 256 * 1024;
    static constexpr qint64 OutputHighWater = 256 * 1024;
    static constexpr qint64 OutputLowWater = 64 * 1024;
    // Room for the longest reply a client reads and pushes behind it.
    static constexpr qint64 OutputHardLimit = ZMsgFwWire::MaxLineLength + 8 * 1024 * 1024;
    // Lines handled in one turn of the event loop before the other connections get theirs.
    static constexpr int LinesPerTurn = 64;
    static constexpr int MaxFailedLogins = 5;
    static constexpr int DeliveryDelayMs = 1000;
    static constexpr int MaxHeldPushes = 256;
    // Messages pushed and not yet confirmed by a confirming client; beyond them it gets no more.
    static constexpr int MaxUnconfirmedPushes = 1024;

    ZmsgdConnection(QSslSocket *socket, ZmsgdService *service, const ZmsgdConfig &config, QObject *parent = nullptr);
    ~ZmsgdConnection() override;

    QString peerUser() const override { return m_user; }
    ZmsgdClientInfo peerClientInfo() const override { return m_client; }
    bool readyForMessages() const override;
    qint64 lastPushedMessage() const override { return m_lastPushed; }
    void pushMessage(const ZmsgdStoredMessage &message) override;
    void pushPoke(const QString &from) override;
    void pushStateChange(const QString &user, int state) override;
    void pushRequests(const QStringList &requesters) override;

    void close();
    // Bytes held in the process for this client: unsent output and unread input.
    qint64 bufferedBytes() const { return pendingOutput() + m_input.size(); }

signals:
    void finished();

private:
    void onEncrypted();
    void onReadyRead();
    void onBytesWritten();
    void onDisconnected();
    void processInput();
    void handleLine(const QByteArray &raw);
    void handleLine11(const QString &line);
    void handleLine10(const QString &line);
    void runCommands10();
    void handleCommand10(const ZmsgdProtocol10::Command &command);
    // Holds further input until answer has run with the service's result.
    void waitFor(const std::function<void(ZmsgdService::Done)> &start, const std::function<void(int)> &answer);
    void loginSucceeded(const QString &user, const ZmsgdClientInfo &client);
    void loginFailed();
    void becomeReady();
    void send(const QByteArray &bytes);
    void sendPush(const QByteArray &bytes);
    void lineTooLong();
    qint64 pendingOutput() const;
    void confirmWritten();
    void acknowledge(qint64 id);
    QString describe() const;

    QPointer<QSslSocket> m_socket;
    ZmsgdService *m_service;
    Protocol m_protocol = Protocol::Unknown;
    QString m_user;
    ZmsgdClientInfo m_client;
    bool m_attached = false;
    bool m_deliveryReady = false;
    bool m_discarding = false;
    bool m_moreInputScheduled = false;
    bool m_closing = false;
    bool m_waiting = false;
    // Set by the client's first confirmation: from then on a pushed message stays stored until
    // the client confirms it, instead of counting as delivered once written.
    bool m_clientConfirms = false;
    int m_failedLogins = 0;
    int m_loginTimeoutMs;
    QString m_addressKey;
    QList<ZmsgdProtocol10::Command> m_commands10;
    QByteArray m_input;
    QList<QByteArray> m_heldPushes;
    ZmsgdProtocol10::Parser m_parser10;
    qint64 m_lastPushed = 0;
    qint64 m_queued = 0;
    // Pushed messages not confirmed yet: id and the output offset the line ends at. Without
    // client confirmations an entry is confirmed once TLS has handed its line on.
    QList<QPair<qint64, qint64>> m_inFlight;
    QTimer m_timer;
};

#endif
