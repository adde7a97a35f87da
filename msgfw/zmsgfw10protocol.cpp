#include "zmsgfw10protocol.h"

#include "zmsgfwendpoint.h"
#include "zmsgfwlinereader.h"
#include "zmsgfwwire.h"

#include "zmformat.h"

#include <QDebug>
#include <QFile>
#include <QSslSocket>

#include <utility>

namespace {

const QString Username = QStringLiteral("Username");
const QString MessageName = QStringLiteral("Message");
const QString UsersHeader = QStringLiteral("Users: ");
const QString LengthHeader = QStringLiteral("Length: ");

// A header line without its line ending; the value keeps its own spaces.
QString headerText(QByteArray line)
{
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    return ZMsgFwWire::decodeUtf8(line);
}

bool isCommandLine(const QByteArray &line)
{
    return ZmFormat::isLegacyCommandLine(headerText(line));
}

bool hasHeader(const ZMsgFw10Protocol::Headers &headers, const QString &name)
{
    for (const auto &header : headers) {
        if (header.first == name)
            return true;
    }
    return false;
}

QString headerValue(const ZMsgFw10Protocol::Headers &headers, const QString &name)
{
    for (const auto &header : headers) {
        if (header.first == name)
            return header.second;
    }
    return QString();
}

QString errorText(const QString &code)
{
    return QStringLiteral("///Error ") + code;
}

} // namespace

ZMsgFw10Protocol::ZMsgFw10Protocol() = default;

ZMsgFw10Protocol::~ZMsgFw10Protocol() = default;

QByteArray ZMsgFw10Protocol::requestBytes(const QString &command, const Headers &headers)
{
    return ZmFormat::legacyRequest(command, headers);
}

int ZMsgFw10Protocol::statusCode(const QString &statusLine)
{
    return ZmFormat::legacyStatusCode(statusLine);
}

static bool headersAreWritable(const ZMsgFw10Protocol::Headers &headers)
{
    for (const auto &header : headers) {
        if (!ZMsgFwWire::isWritableValue(header.second)) {
            qWarning() << "ZMsgFw10Protocol: refused to write a header value containing a line break";
            return false;
        }
    }
    return true;
}

int ZMsgFw10Protocol::loginUser(QString username, QString password)
{
    replaceSocket();
    forgetPushedLines();

    const Headers headers{{Username, username}, {QStringLiteral("Password"), password}};
    if (!headersAreWritable(headers))
        return 500;
    if (!connectToServer())
        return 500;
    m_socket->write(requestBytes(QStringLiteral("login"), headers));
    m_socket->flush();

    QString status;
    const bool answered = readStatusLine(QDeadlineTimer(replyTimeout()), &status);
    keepPushedLines();
    if (!answered)
        return 500;
    if (status.endsWith(QLatin1String("200 OK"))) {
        m_loggedIn = true;
        return 200;
    }
    if (status.endsWith(QLatin1String("404 NF")) || status.endsWith(QLatin1String("404 Not Found")))
        return 404;
    return statusCode(status);
}

bool ZMsgFw10Protocol::canWrite()
{
    return isLoggedIn();
}

QString ZMsgFw10Protocol::getClassVersion()
{
    return QStringLiteral("1.0.0-5");
}

bool ZMsgFw10Protocol::takeSocketLine(QByteArray *line)
{
    return hasSocket() && ZMsgFwLineReader::takeLine(*m_socket, line) == ZMsgFwLineReader::Result::Line;
}

// Pushed objects have the shape of requests: a command line and its header lines. They are
// kept for readObject; anything else found between replies is what is left of a reply.
bool ZMsgFw10Protocol::keepIfPushed(const QByteArray &line)
{
    const bool startsObject = isCommandLine(line);
    const bool continuesObject = m_pushOpen && !line.startsWith("ZM/");
    if (!startsObject && !continuesObject) {
        m_pushOpen = false;
        return false;
    }
    if (startsObject) {
        const bool wasDropping = std::exchange(m_droppingPush, m_pushedBytes + line.size() > MaxPushedBytes);
        if (m_droppingPush && !wasDropping)
            qWarning("ZMsgFw10: too many pushed objects wait to be read; newer ones are dropped");
    }
    if (!m_droppingPush) {
        m_pushedLines.append(line);
        m_pushedBytes += line.size();
    }
    m_pushOpen = true;
    return true;
}

void ZMsgFw10Protocol::forgetPushedLines()
{
    m_pushedLines.clear();
    m_pushedBytes = 0;
    m_pushOpen = false;
    m_droppingPush = false;
}

void ZMsgFw10Protocol::keepPushedLines()
{
    QByteArray line;
    while (takeSocketLine(&line))
        keepIfPushed(line);
}

bool ZMsgFw10Protocol::readStatusLine(const QDeadlineTimer &deadline, QString *statusLine)
{
    for (;;) {
        QByteArray line;
        if (!ZMsgFwLineReader::waitForLine(*m_socket, deadline, &line))
            return false;
        if (!keepIfPushed(line)) {
            *statusLine = ZMsgFwWire::decodeLine(line);
            return true;
        }
        // Pushes that keep coming must not hold the caller past its wait.
        if (deadline.hasExpired())
            return false;
    }
}

// The headers of a reply may come in later records than its status line, so this waits for
// them; a pushed object that starts first means the reply had no such header.
bool ZMsgFw10Protocol::readHeader(const QDeadlineTimer &deadline, const QString &name, QString *value)
{
    for (;;) {
        QByteArray line;
        if (!takeSocketLine(&line)) {
            if (m_socket->state() != QAbstractSocket::ConnectedState || deadline.hasExpired()
                || !m_socket->waitForReadyRead(int(deadline.remainingTime())))
                return false;
            continue;
        }
        if (isCommandLine(line)) {
            keepIfPushed(line);
            return false;
        }
        const QString text = headerText(line);
        if (text.startsWith(name)) {
            *value = text.mid(name.size());
            return true;
        }
        if (deadline.hasExpired())
            return false;
    }
}

ZMsgFw10Protocol::Reply ZMsgFw10Protocol::call(const QString &command, const Headers &headers,
                                               const QString &wantedHeader)
{
    Reply reply;
    if (!canWrite() || !headersAreWritable(headers))
        return reply;
    keepPushedLines();
    m_socket->write(requestBytes(command, headers));
    m_socket->flush();
    const QDeadlineTimer deadline(replyTimeout());
    reply.answered = readStatusLine(deadline, &reply.statusLine);
    if (reply.answered && !wantedHeader.isEmpty() && reply.statusLine.endsWith(QLatin1String("200 OK")))
        reply.headerFound = readHeader(deadline, wantedHeader, &reply.headerValue);
    keepPushedLines();
    return reply;
}

QString ZMsgFw10Protocol::askText(const QString &command, const QString &header)
{
    const Reply reply = call(command, Headers(), header);
    if (!reply.answered)
        return errorText(QStringLiteral("1"));
    if (!reply.statusLine.endsWith(QLatin1String("200 OK"))) {
        const QStringList words = reply.statusLine.split(QLatin1Char(' '));
        return errorText(words.size() < 2 ? QStringLiteral("502") : words.at(1));
    }
    if (!reply.headerFound)
        return errorText(QStringLiteral("201"));
    QString value = reply.headerValue;
    if (header == UsersHeader)
        value.replace(QLatin1String("<>"), QLatin1String("\n"));
    return value;
}

int ZMsgFw10Protocol::askCode(const QString &command, const Headers &headers)
{
    const Reply reply = call(command, headers);
    return reply.answered ? statusCode(reply.statusLine) : 1;
}

QString ZMsgFw10Protocol::getUserContacts()
{
    return askText(QStringLiteral("getusercontacts"), UsersHeader);
}
QString ZMsgFw10Protocol::getUserContactsLength()
{
    return askText(QStringLiteral("getusercontactslength"), LengthHeader);
}
QString ZMsgFw10Protocol::getUserContactsRequests()
{
    return askText(QStringLiteral("getuserfriendrequests"), UsersHeader);
}
QString ZMsgFw10Protocol::getUserFriendRequests()
{
    return getUserContactsRequests();
}
QString ZMsgFw10Protocol::getUserContactsWithStates()
{
    return askText(QStringLiteral("getusercontactswithstates"), UsersHeader);
}
QString ZMsgFw10Protocol::getUserFriendRequestsLength()
{
    return askText(QStringLiteral("getuserfriendrequestslength"), LengthHeader);
}
QString ZMsgFw10Protocol::getUserMessageState()
{
    return askText(QStringLiteral("getusermessagestate"), QStringLiteral("Message: "));
}
QString ZMsgFw10Protocol::getUserNick()
{
    return askText(QStringLiteral("getusernick"), QStringLiteral("Nick: "));
}

int ZMsgFw10Protocol::addUserContact(QString user)
{
    return askCode(QStringLiteral("addusercontact"), {{Username, user}});
}
int ZMsgFw10Protocol::delUserContact(QString user)
{
    return askCode(QStringLiteral("removeusercontact"), {{Username, user}});
}
int ZMsgFw10Protocol::removeUserContact(QString user)
{
    return delUserContact(user);
}
int ZMsgFw10Protocol::setUserOnlineState(int state)
{
    return askCode(QStringLiteral("setuseronlinestate"), {{QStringLiteral("State"), QString::number(state)}});
}
int ZMsgFw10Protocol::setUserMessageState(QString text)
{
    return askCode(QStringLiteral("setusermessagestate"), {{QStringLiteral("Message"), text}});
}
int ZMsgFw10Protocol::setUserAvatar(QString avatar, QString format)
{
    return askCode(QStringLiteral("setuseravatar"),
                   {{QStringLiteral("Avatar"), avatar}, {QStringLiteral("Format"), format}});
}
int ZMsgFw10Protocol::setUserNick(QString nick)
{
    return askCode(QStringLiteral("setusernick"), {{QStringLiteral("Nick"), nick}});
}
int ZMsgFw10Protocol::setUserMail(QString mail, bool vfo)
{
    return askCode(QStringLiteral("setusermail"),
                   {{QStringLiteral("Mail"), mail},
                    {QStringLiteral("VFO"), vfo ? QStringLiteral("true") : QStringLiteral("false")}});
}
int ZMsgFw10Protocol::setUserPassword(QString oldPassword, QString newPassword)
{
    return askCode(QStringLiteral("setuserpassword"),
                   {{QStringLiteral("Password old"), oldPassword}, {QStringLiteral("Password new"), newPassword}});
}

int ZMsgFw10Protocol::sendMessageToUser(QString user, QString message)
{
    const Reply reply = call(QStringLiteral("message"), {{Username, user}, {QStringLiteral("Message"), message}});
    if (!reply.answered)
        return 1;
    return reply.statusLine.endsWith(QLatin1String("404 Not Found")) ? 404 : statusCode(reply.statusLine);
}

int ZMsgFw10Protocol::getUserOnlineState()
{
    const Reply reply = call(QStringLiteral("getuseronlinestate"), Headers(), QStringLiteral("State: "));
    if (!reply.answered)
        return 501;
    if (!reply.statusLine.endsWith(QLatin1String("200 OK")))
        return statusCode(reply.statusLine);
    return reply.headerFound ? reply.headerValue.trimmed().toInt() : 201;
}

int ZMsgFw10Protocol::sendPokeToUser(QString user)
{
    const Headers headers{{Username, user}};
    if (!canWrite() || !headersAreWritable(headers))
        return 1;
    keepPushedLines();
    m_socket->write(requestBytes(QStringLiteral("poke"), headers));
    m_socket->flush();
    return 0;
}

QString ZMsgFw10Protocol::getMessengerStandardAvatar()
{
    QFile resource(QStringLiteral(":/avatar/zm-standard"));
    if (!resource.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(resource.readAll());
}

bool ZMsgFw10Protocol::isObjectIncoming()
{
    return !m_pushedLines.isEmpty() || (hasSocket() && ZMsgFwLineReader::pollLine(*m_socket));
}

bool ZMsgFw10Protocol::takeNextObjectLine(QByteArray *line)
{
    if (m_pushedLines.isEmpty())
        return takeSocketLine(line);
    *line = m_pushedLines.takeFirst();
    m_pushedBytes -= line->size();
    return true;
}

void ZMsgFw10Protocol::putBackObjectLine(const QByteArray &line)
{
    m_pushedLines.prepend(line);
    m_pushedBytes += line.size();
}

bool ZMsgFw10Protocol::waitForObjectData(const QDeadlineTimer &deadline)
{
    return hasSocket() && m_socket->state() == QAbstractSocket::ConnectedState && !deadline.hasExpired()
        && m_socket->waitForReadyRead(int(deadline.remainingTime()));
}

// Header lines of a pushed object, up to the next object's command line (which stays unread).
// The headers may come in later records than the command line, so until those needed are
// there this waits for them, as long as a reply would be waited for.
ZMsgFw10Protocol::Headers ZMsgFw10Protocol::readPushedHeaders(const QStringList &needed)
{
    Headers headers;
    const auto hasNeeded = [&headers, &needed] {
        for (const QString &name : needed) {
            if (!hasHeader(headers, name))
                return false;
        }
        return true;
    };
    const QDeadlineTimer deadline(replyTimeout());
    QByteArray line;
    for (;;) {
        if (!takeNextObjectLine(&line)) {
            if (hasNeeded() || !waitForObjectData(deadline))
                break;
            continue;
        }
        if (isCommandLine(line)) {
            putBackObjectLine(line);
            break;
        }
        QString name;
        QString value;
        if (ZmFormat::splitLegacyHeader(headerText(line), &name, &value))
            headers.append({name, value});
    }
    return headers;
}

QString ZMsgFw10Protocol::readObject()
{
    QByteArray line;
    if (!takeNextObjectLine(&line))
        return QString();
    const QString text = ZMsgFwWire::decodeLine(line);
    const QStringList words = text.split(QLatin1Char(' '));
    if (text.size() <= 1 || words.size() < 2)
        return QString();
    const QString &command = words.at(1);
    if (command == QLatin1String("/update"))
        return QStringLiteral("update");
    if (command == QLatin1String("/ping")) {
        if (hasSocket() && m_socket->state() == QAbstractSocket::ConnectedState) {
            m_socket->write("ZM/1.0 200 OK\nPing: Pong\n");
            m_socket->flush();
        }
        return QStringLiteral("ping/pong");
    }
    if (command != QLatin1String("/message") && command != QLatin1String("/poke"))
        return QString();
    const bool isPoke = command == QLatin1String("/poke");
    const Headers headers = readPushedHeaders(isPoke ? QStringList{Username} : QStringList{Username, MessageName});
    const QString user = headerValue(headers, Username);
    if (isPoke)
        return user.isEmpty() ? QString() : QStringLiteral("PokeFromUser<>") + user + QLatin1Char('\n');
    const QString message = headerValue(headers, MessageName);
    if (user.isEmpty() || message.isEmpty())
        return QString();
    if (message.size() > ZMsgFwWire::MaxMessageTextLength) {
        qWarning("ZMsgFw10: dropped a pushed message of %d characters", int(message.size()));
        return QString();
    }
    return QStringLiteral("MessageFromUser<>") + user + QStringLiteral(": ") + message + QLatin1Char('\n');
}
