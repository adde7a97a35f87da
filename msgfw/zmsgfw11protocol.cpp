#include "zmsgfw11protocol.h"

#include "zmsgfwendpoint.h"
#include "zmsgfwlinereader.h"

#include <QDeadlineTimer>
#include <QDebug>
#include <QSslSocket>
#include <QSysInfo>

#include <utility>

namespace {

// Confirmations waiting to be sent beyond this mean the server does not read what it is sent.
constexpr qint64 MaxUnsentConfirmations = 256 * 1024;

const QString UserKey = QStringLiteral("--username=");

// Codes and states of replies are plain decimal numbers; they are not unescaped.
int plainInteger(const QStringList &words, const QString &key, int missing)
{
    bool found = false;
    const QString value = ZMsgFwWire::argumentValue(words, key, &found);
    return found ? value.toInt() : missing;
}

QString errorText(int code)
{
    return QStringLiteral("///Error ") + QString::number(code);
}

} // namespace

ZMsgFw11Protocol::ZMsgFw11Protocol(const QString &classVersion, const QString &mailRequestWord,
                                   std::function<void(const QString &)> deliverIncomingObject)
    : m_classVersion(classVersion)
    , m_mailRequestWord(mailRequestWord)
    , m_deliverIncomingObject(std::move(deliverIncomingObject))
{
    m_systemName = QSysInfo::prettyProductName();
}

ZMsgFw11Protocol::~ZMsgFw11Protocol() = default;

int ZMsgFw11Protocol::loginUser(QString username, QString password)
{
    replaceSocket();
    m_sessionAcknowledges = false;

    ZMsgFwWire::LineBuilder line(QStringLiteral("login"));
    line.text(QStringLiteral("--username="), username)
        .text(QStringLiteral("--password="), password)
        .text(QStringLiteral("--system="), m_systemName)
        .text(QStringLiteral("--version="), m_classVersion);
    if (!line.isValid()) {
        qWarning() << "loginUser: refused, the user name or password contains a line break";
        return 500;
    }

    if (!connectToServer())
        return 500;

    const Exchange reply = exchange(line, [](const QStringList &) { return true; });
    if (reply.status != Exchange::Accepted)
        return 500;
    if (reply.code == 200) {
        m_loggedIn = true;
        startAcknowledging(reply.words);
    }
    return reply.code;
}

void ZMsgFw11Protocol::startAcknowledging(const QStringList &loginReply)
{
    const bool announced = ZMsgFwWire::argumentValue(loginReply, QStringLiteral("--ack=")) == QLatin1String("1");
    if (!m_acknowledging || !announced)
        return;
    // Before any other line: the server learns from it that this session confirms what it reads.
    m_sessionAcknowledges = writeLine(acknowledgement(0));
}

ZMsgFwWire::LineBuilder ZMsgFw11Protocol::acknowledgement(qint64 id)
{
    ZMsgFwWire::LineBuilder line(QStringLiteral("action"));
    line.text(QStringLiteral("--at="), QStringLiteral("ack")).raw(QStringLiteral("--mid="), QString::number(id));
    return line;
}

bool ZMsgFw11Protocol::takeSessionFrom(ZMsgFw11Protocol &other)
{
    if (!takeConnectionFrom(other))
        return false;
    m_sessionAcknowledges = std::exchange(other.m_sessionAcknowledges, false);
    m_lastObject.clear();
    m_lastMessageId = 0;
    return true;
}

void ZMsgFw11Protocol::setAcknowledging(bool on)
{
    m_acknowledging = on;
}

bool ZMsgFw11Protocol::isAcknowledging()
{
    return m_sessionAcknowledges && isLoggedIn();
}

bool ZMsgFw11Protocol::acknowledgeMessage(qint64 id)
{
    if (id <= 0 || !isAcknowledging())
        return false;
    // A server that pushes without reading must not make the client hold confirmations
    // without end; one not sent is followed by the message again at the next login.
    if (m_socket->bytesToWrite() + m_socket->encryptedBytesToWrite() > MaxUnsentConfirmations)
        return false;
    return writeLine(acknowledgement(id));
}

qint64 ZMsgFw11Protocol::messageId(const QString &object) const
{
    return m_lastMessageId > 0 && object == m_lastObject ? m_lastMessageId : 0;
}

QString ZMsgFw11Protocol::getClassVersion()
{
    return m_classVersion;
}

void ZMsgFw11Protocol::moveSessionToThread(QThread *thread)
{
    moveConnectionToThread(thread);
}

bool ZMsgFw11Protocol::canWrite()
{
    return isLoggedIn();
}

bool ZMsgFw11Protocol::writeLine(const ZMsgFwWire::LineBuilder &line)
{
    if (!line.isValid()) {
        qWarning() << "ZMsgFw11Protocol: refused to write a value containing a line break";
        return false;
    }
    if (!hasSocket())
        return false;
    m_socket->write(line.toBytes());
    m_socket->flush();
    return true;
}

ZMsgFw11Protocol::LineRead ZMsgFw11Protocol::readBoundedLine(QByteArray *line)
{
    if (!hasSocket())
        return LineRead::None;
    switch (ZMsgFwLineReader::takeLine(*m_socket, line)) {
    case ZMsgFwLineReader::Result::Line:
        return LineRead::Line;
    case ZMsgFwLineReader::Result::None:
        return LineRead::None;
    case ZMsgFwLineReader::Result::TooLong:
        break;
    }
    m_socket->abort();
    return LineRead::Broken;
}

void ZMsgFw11Protocol::handOnBufferedLines(const QDeadlineTimer &deadline)
{
    QByteArray line;
    while (!deadline.hasExpired() && readBoundedLine(&line) == LineRead::Line)
        workWithObjectWithEmit(line);
}

ZMsgFw11Protocol::Exchange ZMsgFw11Protocol::exchange(const ZMsgFwWire::LineBuilder &line, const ReplyMatcher &isReply)
{
    Exchange result;
    if (!line.isValid()) {
        qWarning() << "ZMsgFw11Protocol: refused to write a value containing a line break";
        return result;
    }
    // One deadline for the whole call: a server that never stops pushing lines must not hold
    // the caller's thread longer than the reply wait.
    const QDeadlineTimer deadline(replyTimeout());
    handOnBufferedLines(deadline);
    if (!writeLine(line))
        return result;

    bool foreignLineSeen = false;
    for (;;) {
        QByteArray raw;
        const LineRead read = readBoundedLine(&raw);
        if (read == LineRead::Broken)
            break;
        if (read == LineRead::Line) {
            const QStringList words = ZMsgFwWire::splitWords(ZMsgFwWire::decodeLine(raw));
            if (ZMsgFwWire::isReturnLine(words) && isReply(words)) {
                result.status = Exchange::Accepted;
                result.words = words;
                result.code = ZMsgFwWire::integerArgument(words, QStringLiteral("--id="), 500);
                return result;
            }
            foreignLineSeen = true;
            workWithObjectWithEmit(raw);
            if (deadline.hasExpired())
                break;
            continue;
        }
        if (deadline.hasExpired() || !m_socket->waitForReadyRead(int(deadline.remainingTime())))
            break;
    }
    result.status = foreignLineSeen ? Exchange::Foreign : Exchange::NoReply;
    return result;
}

ZMsgFw11Protocol::ReplyMatcher ZMsgFw11Protocol::requestReply(const QString &replyWord)
{
    return [replyWord](const QStringList &words) {
        return ZMsgFwWire::unescapeValue(ZMsgFwWire::argumentValue(words, QStringLiteral("--rq="))) == replyWord;
    };
}

ZMsgFw11Protocol::ReplyMatcher ZMsgFw11Protocol::actionReply(const QString &actionWord)
{
    return [actionWord](const QStringList &words) {
        return ZMsgFwWire::unescapeValue(ZMsgFwWire::argumentValue(words, QStringLiteral("--at="))) == actionWord;
    };
}

bool ZMsgFw11Protocol::isObjectIncoming()
{
    return hasSocket() && ZMsgFwLineReader::pollLine(*m_socket);
}

QString ZMsgFw11Protocol::readObject()
{
    QByteArray line;
    if (readBoundedLine(&line) != LineRead::Line)
        return QString();
    return workWithObject(line);
}

QString ZMsgFw11Protocol::workWithObject(QByteArray line)
{
    m_lastObject = ZMsgFwWire::renderIncomingObject(line, &m_lastMessageId);
    return m_lastObject;
}

QString ZMsgFw11Protocol::workWithObjectWithEmit(QByteArray line)
{
    const QString object = workWithObject(line);
    m_deliverIncomingObject(object);
    return object;
}

ZMsgFw11Protocol::Call ZMsgFw11Protocol::requestCall(const QString &word, const QString &replyWord)
{
    Call call{ZMsgFwWire::LineBuilder(QStringLiteral("request")), replyWord.isEmpty() ? word : replyWord, false};
    call.line.text(QStringLiteral("--rq="), word);
    return call;
}

ZMsgFw11Protocol::Call ZMsgFw11Protocol::requestAboutCall(const QString &word, const QString &user)
{
    Call call = requestCall(word);
    call.line.text(UserKey, user);
    return call;
}

ZMsgFw11Protocol::Call ZMsgFw11Protocol::actionCall(const QString &word)
{
    Call call{ZMsgFwWire::LineBuilder(QStringLiteral("action")), word, true};
    call.line.text(QStringLiteral("--at="), word);
    return call;
}

ZMsgFw11Protocol::Call ZMsgFw11Protocol::actionAboutCall(const QString &word, const QString &user)
{
    Call call = actionCall(word);
    call.line.text(UserKey, user);
    return call;
}

ZMsgFw11Protocol::Call ZMsgFw11Protocol::mailCall() const
{
    return requestCall(m_mailRequestWord, QStringLiteral("mail"));
}

bool ZMsgFw11Protocol::send(const Call &call)
{
    return canWrite() && writeLine(call.line);
}

ZMsgFw11Protocol::Exchange ZMsgFw11Protocol::ask(const Call &call)
{
    if (!canWrite())
        return Exchange();
    return exchange(call.line, call.isAction ? actionReply(call.replyWord) : requestReply(call.replyWord));
}

int ZMsgFw11Protocol::askAction(const Call &call)
{
    const Exchange reply = ask(call);
    switch (reply.status) {
    case Exchange::NotSent:
        return 501;
    case Exchange::NoReply:
        return 500;
    case Exchange::Foreign:
        return 601;
    case Exchange::Accepted:
        break;
    }
    return plainInteger(reply.words, QStringLiteral("--id="), 500);
}

int ZMsgFw11Protocol::askState(const Call &call)
{
    const Exchange reply = ask(call);
    if (reply.status == Exchange::Foreign)
        return 601;
    if (reply.status != Exchange::Accepted || plainInteger(reply.words, QStringLiteral("--id="), 500) != 200)
        return 501;
    return plainInteger(reply.words, QStringLiteral("--state="), 0);
}

QString ZMsgFw11Protocol::askText(const Call &call, const QString &answerKey, bool isList)
{
    const Exchange reply = ask(call);
    if (reply.status == Exchange::Foreign)
        return errorText(601);
    if (reply.status != Exchange::Accepted)
        return errorText(500);
    const int code = plainInteger(reply.words, QStringLiteral("--id="), 500);
    if (code != 200)
        return errorText(code);
    QString answer = ZMsgFwWire::unescapeValue(ZMsgFwWire::argumentValue(reply.words, answerKey));
    if (isList)
        answer.replace(QLatin1String("<>"), QLatin1String("\n"));
    return answer;
}

// Request words and the reply words that answer them.
namespace {
const QString Contacts = QStringLiteral("contacts");
const QString ContactsLength = QStringLiteral("contactslength");
const QString ContactsWithStates = QStringLiteral("contactswithstates");
const QString ContactsRequests = QStringLiteral("contactsrequests");
const QString ContactsRequestsLength = QStringLiteral("contactsrequestslength");
// The server answers "contactsrequestslength" without the s after contact.
const QString ContactRequestsLengthReply = QStringLiteral("contactrequestslength");
const QString OnlineState = QStringLiteral("onlinestate");
const QString MessageState = QStringLiteral("messagestate");
const QString Nick = QStringLiteral("nick");
const QString AnotherOnlineState = QStringLiteral("anotheruseronlinestate");
const QString AnotherMessageState = QStringLiteral("anotherusermessagestate");
const QString AnotherNick = QStringLiteral("anotherusernick");
const QString AnotherMail = QStringLiteral("anotherusermail");
const QString ProfileInfo = QStringLiteral("profileinfo");

const QString UsersKey = QStringLiteral("--users=");
const QString LengthKey = QStringLiteral("--length=");
const QString MessageKey = QStringLiteral("--message=");
const QString NickKey = QStringLiteral("--nick=");
const QString MailKey = QStringLiteral("--mail=");
const QString ImageKey = QStringLiteral("--image=");

const QString AddContact = QStringLiteral("addcontact");
const QString DelContact = QStringLiteral("delcontact");
const QString SetOnlineState = QStringLiteral("setonlinestate");
const QString SetMessageState = QStringLiteral("setmessagestate");
const QString SetNick = QStringLiteral("setnick");
const QString SetMail = QStringLiteral("setmail");
const QString SetPassword = QStringLiteral("setpassword");
const QString SendPoke = QStringLiteral("sendpoke");
const QString SendMessage = QStringLiteral("sendmessage");
} // namespace

ZMsgFw11Protocol::Call ZMsgFw11Protocol::stateCall(int state)
{
    Call call = actionCall(SetOnlineState);
    call.line.number(QStringLiteral("--state="), state);
    return call;
}

ZMsgFw11Protocol::Call ZMsgFw11Protocol::messageStateCall(const QString &text)
{
    Call call = actionCall(SetMessageState);
    call.line.text(MessageKey, text);
    return call;
}

ZMsgFw11Protocol::Call ZMsgFw11Protocol::nickCall(const QString &nick)
{
    Call call = actionCall(SetNick);
    call.line.text(NickKey, nick);
    return call;
}

ZMsgFw11Protocol::Call ZMsgFw11Protocol::mailActionCall(const QString &mail, bool vfo)
{
    Call call = actionCall(SetMail);
    call.line.text(MailKey, mail).flag(QStringLiteral("--vfo="), vfo);
    return call;
}

ZMsgFw11Protocol::Call ZMsgFw11Protocol::passwordCall(const QString &oldPassword, const QString &newPassword)
{
    Call call = actionCall(SetPassword);
    call.line.text(QStringLiteral("--oldpassword="), oldPassword).text(QStringLiteral("--newpassword="), newPassword);
    return call;
}

ZMsgFw11Protocol::Call ZMsgFw11Protocol::messageCall(const QString &user, const QString &message, int id)
{
    Call call = actionAboutCall(SendMessage, user);
    call.line.text(MessageKey, message);
    if (id > 0)
        call.line.number(QStringLiteral("--id="), id);
    return call;
}

bool ZMsgFw11Protocol::requestGetUserContacts()
{
    return send(requestCall(Contacts));
}
bool ZMsgFw11Protocol::requestGetUserContactsLength()
{
    return send(requestCall(ContactsLength));
}
bool ZMsgFw11Protocol::requestGetUserContactsWithStates()
{
    return send(requestCall(ContactsWithStates));
}
bool ZMsgFw11Protocol::requestGetUserContactsRequests()
{
    return send(requestCall(ContactsRequests));
}
bool ZMsgFw11Protocol::requestGetUserFriendRequests()
{
    return requestGetUserContactsRequests();
}
bool ZMsgFw11Protocol::requestGetUserFriendRequestsLength()
{
    return send(requestCall(ContactsRequestsLength, ContactRequestsLengthReply));
}
bool ZMsgFw11Protocol::requestGetUserOnlineState()
{
    return send(requestCall(OnlineState));
}
bool ZMsgFw11Protocol::requestGetUserMessageState()
{
    return send(requestCall(MessageState));
}
bool ZMsgFw11Protocol::requestGetUserNick()
{
    return send(requestCall(Nick));
}
bool ZMsgFw11Protocol::requestGetUserMail()
{
    return send(mailCall());
}
bool ZMsgFw11Protocol::requestGetAnotherUserOnlineState(QString user)
{
    return send(requestAboutCall(AnotherOnlineState, user));
}
bool ZMsgFw11Protocol::requestGetAnotherUserMessageState(QString user)
{
    return send(requestAboutCall(AnotherMessageState, user));
}
bool ZMsgFw11Protocol::requestGetAnotherUserNick(QString user)
{
    return send(requestAboutCall(AnotherNick, user));
}
bool ZMsgFw11Protocol::requestGetAnotherUserMail(QString user)
{
    return send(requestAboutCall(AnotherMail, user));
}
bool ZMsgFw11Protocol::requestGetUserProfileInfo(QString user)
{
    return send(requestAboutCall(ProfileInfo, user));
}

bool ZMsgFw11Protocol::actionAddUserContact(QString user)
{
    return send(actionAboutCall(AddContact, user));
}
bool ZMsgFw11Protocol::actionDelUserContact(QString user)
{
    return send(actionAboutCall(DelContact, user));
}
bool ZMsgFw11Protocol::actionRemoveUserContact(QString user)
{
    return actionDelUserContact(user);
}
bool ZMsgFw11Protocol::actionSetUserOnlineState(int state)
{
    return send(stateCall(state));
}
bool ZMsgFw11Protocol::actionSetUserMessageState(QString text)
{
    return send(messageStateCall(text));
}
bool ZMsgFw11Protocol::actionSetUserNick(QString nick)
{
    return send(nickCall(nick));
}
bool ZMsgFw11Protocol::actionSetUserMail(QString mail, bool vfo)
{
    return send(mailActionCall(mail, vfo));
}
bool ZMsgFw11Protocol::actionSetUserPassword(QString oldPassword, QString newPassword)
{
    return send(passwordCall(oldPassword, newPassword));
}
bool ZMsgFw11Protocol::actionSendPokeToUser(QString user)
{
    return send(actionAboutCall(SendPoke, user));
}
bool ZMsgFw11Protocol::actionSendMessageToUser(QString user, QString message, int id)
{
    return send(messageCall(user, message, id));
}

QString ZMsgFw11Protocol::getUserContacts()
{
    return askText(requestCall(Contacts), UsersKey, true);
}
QString ZMsgFw11Protocol::getUserContactsLength()
{
    return askText(requestCall(ContactsLength), LengthKey);
}
QString ZMsgFw11Protocol::getUserContactsRequests()
{
    return askText(requestCall(ContactsRequests), UsersKey, true);
}
QString ZMsgFw11Protocol::getUserFriendRequests()
{
    return getUserContactsRequests();
}
QString ZMsgFw11Protocol::getUserFriendRequestsLength()
{
    return askText(requestCall(ContactsRequestsLength, ContactRequestsLengthReply), LengthKey);
}
QString ZMsgFw11Protocol::getUserContactsWithStates()
{
    return askText(requestCall(ContactsWithStates), UsersKey, true);
}
int ZMsgFw11Protocol::getUserOnlineState()
{
    return askState(requestCall(OnlineState));
}
int ZMsgFw11Protocol::getAnotherUserOnlineState(QString user)
{
    return askState(requestAboutCall(AnotherOnlineState, user));
}
QString ZMsgFw11Protocol::getUserMessageState()
{
    return askText(requestCall(MessageState), MessageKey);
}
QString ZMsgFw11Protocol::getAnotherUserMessageState(QString user)
{
    return askText(requestAboutCall(AnotherMessageState, user), MessageKey);
}
QString ZMsgFw11Protocol::getUserNick()
{
    return askText(requestCall(Nick), NickKey);
}
QString ZMsgFw11Protocol::getAnotherUserNick(QString user)
{
    return askText(requestAboutCall(AnotherNick, user), NickKey);
}
QString ZMsgFw11Protocol::getUserMail()
{
    return askText(mailCall(), MailKey);
}
QString ZMsgFw11Protocol::getAnotherUserMail(QString user)
{
    return askText(requestAboutCall(AnotherMail, user), MailKey);
}
QString ZMsgFw11Protocol::getUserProfileInfo(QString user)
{
    return askText(requestAboutCall(ProfileInfo, user), ImageKey);
}

int ZMsgFw11Protocol::addUserContact(QString user)
{
    return askAction(actionAboutCall(AddContact, user));
}
int ZMsgFw11Protocol::delUserContact(QString user)
{
    return askAction(actionAboutCall(DelContact, user));
}
int ZMsgFw11Protocol::removeUserContact(QString user)
{
    return delUserContact(user);
}
int ZMsgFw11Protocol::setUserOnlineState(int state)
{
    return askAction(stateCall(state));
}
int ZMsgFw11Protocol::setUserMessageState(QString text)
{
    return askAction(messageStateCall(text));
}
int ZMsgFw11Protocol::setUserNick(QString nick)
{
    return askAction(nickCall(nick));
}
int ZMsgFw11Protocol::setUserMail(QString mail, bool vfo)
{
    return askAction(mailActionCall(mail, vfo));
}
int ZMsgFw11Protocol::setUserPassword(QString oldPassword, QString newPassword)
{
    return askAction(passwordCall(oldPassword, newPassword));
}
int ZMsgFw11Protocol::sendPokeToUser(QString user)
{
    return askAction(actionAboutCall(SendPoke, user));
}
int ZMsgFw11Protocol::sendMessageToUser(QString user, QString message)
{
    return askAction(messageCall(user, message, -1));
}
