#include "zmsgdprotocol10.h"

#include "zmsgdlog.h"
#include "zmsgdservice.h"

#include "zmformat.h"

namespace ZmsgdProtocol10 {

namespace {

using ZmFormat::hasLineBreak;

QByteArray okWith(const QString &header, const QString &value)
{
    if (hasLineBreak(value))
        return statusLine(ZmsgdCode::Internal);
    return statusLine(ZmsgdCode::Ok) + header.toUtf8() + ": " + value.toUtf8() + '\n';
}

QByteArray answerReply(ZmsgdService *service, const ZmsgdService::Answer &answer, const QString &header)
{
    if (answer.code != ZmsgdCode::Ok)
        return statusLine(answer.code);
    const QByteArray bytes = okWith(header, answer.text);
    if (bytes.size() <= service->maxReplyLength())
        return bytes;
    ZmsgdLog::event(QStringLiteral("the %1 header would be %2 bytes, more than clients read; answered 413")
                        .arg(header)
                        .arg(bytes.size()));
    return statusLine(ZmsgdCode::TooLong);
}

QByteArray actionReply(int code)
{
    return statusLine(code);
}

} // namespace

bool isCommandLine(const QString &line)
{
    return ZmFormat::isLegacyCommandLine(line);
}

int headerCount(const QString &command)
{
    static const QHash<QString, int> counts = {
        {QStringLiteral("login"), 2},
        {QStringLiteral("addusercontact"), 1},
        {QStringLiteral("removeusercontact"), 1},
        {QStringLiteral("setuseronlinestate"), 1},
        {QStringLiteral("setusermessagestate"), 1},
        {QStringLiteral("setuseravatar"), 2},
        {QStringLiteral("setusernick"), 1},
        {QStringLiteral("setusermail"), 2},
        {QStringLiteral("setuserpassword"), 2},
        {QStringLiteral("message"), 2},
        {QStringLiteral("poke"), 1},
    };
    return counts.value(command, 0);
}

QList<Command> Parser::feed(const QString &line, bool *stray)
{
    QList<Command> done;
    if (stray)
        *stray = false;
    if (isCommandLine(line)) {
        if (m_pending)
            done << *m_pending;
        m_pending = Command{ZmFormat::legacyCommand(line), {}};
        m_expected = headerCount(m_pending->name);
    } else if (m_pending) {
        QString name;
        QString value;
        if (ZmFormat::splitLegacyHeader(line, &name, &value))
            m_pending->headers.insert(name, value);
        --m_expected;
    } else if (stray) {
        // A client's answer to a ping ("ZM/1.0 200 OK", "Ping: Pong") is no error.
        *stray =
            !line.isEmpty() && !line.startsWith(QLatin1String("ZM/1.0 ")) && line.indexOf(QLatin1String(": ")) <= 0;
    }
    if (m_pending && m_expected <= 0) {
        done << *m_pending;
        m_pending.reset();
    }
    return done;
}

QByteArray statusLine(int code)
{
    static const QHash<int, QByteArray> reasons = {
        {ZmsgdCode::Ok, "OK"},
        {ZmsgdCode::WrongOldPassword, "Wrong Password"},
        {ZmsgdCode::BadRequest, "Bad Request"},
        {ZmsgdCode::NotLoggedIn, "Unauthorized"},
        {ZmsgdCode::Forbidden, "Forbidden"},
        {ZmsgdCode::NotFound, "Not Found"},
        {ZmsgdCode::UnknownCommand, "Unknown Command"},
        {ZmsgdCode::Conflict, "Conflict"},
        {ZmsgdCode::TooLong, "Too Long"},
        {ZmsgdCode::TooManyRequests, "Too Many Requests"},
    };
    return ZmFormat::legacyStatusLine(code, reasons.value(code, "Error"));
}

QByteArray reply(ZmsgdService *service, const QString &user, const Command &command)
{
    const QString &name = command.name;
    const auto header = [&command](const char *key) { return command.headers.value(QLatin1String(key)); };
    if (name == QLatin1String("poke")) {
        service->sendPoke(user, header("Username"));
        return QByteArray();
    }
    if (name == QLatin1String("getusercontacts"))
        return answerReply(service, service->contacts(user), QStringLiteral("Users"));
    if (name == QLatin1String("getusercontactslength"))
        return answerReply(service, service->contactsLength(user), QStringLiteral("Length"));
    if (name == QLatin1String("getuserfriendrequests"))
        return answerReply(service, service->contactsRequests(user), QStringLiteral("Users"));
    if (name == QLatin1String("getuserfriendrequestslength"))
        return answerReply(service, service->contactsRequestsLength(user), QStringLiteral("Length"));
    if (name == QLatin1String("getusercontactswithstates"))
        return answerReply(service, service->contactsWithStates(user), QStringLiteral("Users"));
    if (name == QLatin1String("getuseronlinestate"))
        return answerReply(service, service->ownState(user), QStringLiteral("State"));
    if (name == QLatin1String("getusermessagestate"))
        return answerReply(service, service->ownStatusMessage(user), QStringLiteral("Message"));
    if (name == QLatin1String("getusernick"))
        return answerReply(service, service->ownNick(user), QStringLiteral("Nick"));
    if (name == QLatin1String("addusercontact"))
        return actionReply(service->addContact(user, header("Username")));
    if (name == QLatin1String("removeusercontact"))
        return actionReply(service->delContact(user, header("Username")));
    if (name == QLatin1String("setuseronlinestate")) {
        bool ok = false;
        const int state = header("State").toInt(&ok);
        return actionReply(ok ? service->setState(user, state) : ZmsgdCode::BadRequest);
    }
    if (name == QLatin1String("setusermessagestate"))
        return actionReply(service->setStatusMessage(user, header("Message")));
    if (name == QLatin1String("setusernick"))
        return actionReply(service->setNick(user, header("Nick")));
    if (name == QLatin1String("setusermail"))
        return actionReply(service->setMail(user, header("Mail"), header("VFO") == QLatin1String("true")));
    if (name == QLatin1String("setuserpassword"))
        return actionReply(service->setPassword(user, header("Password old"), header("Password new")));
    if (name == QLatin1String("setuseravatar"))
        return actionReply(service->setAvatar(user, QByteArray::fromBase64(header("Avatar").toLatin1())));
    if (name == QLatin1String("message")) {
        const QString text = header("Message");
        return actionReply(service->sendMessage(user, header("Username"), text));
    }
    if (name == QLatin1String("login"))
        return statusLine(ZmsgdCode::Conflict);
    return statusLine(ZmsgdCode::UnknownCommand);
}

QByteArray messagePush(const QString &sender, const QString &text)
{
    return ZmFormat::legacyRequest(QStringLiteral("message"),
                                   {{QStringLiteral("Username"), sender}, {QStringLiteral("Message"), text}});
}

QByteArray pokePush(const QString &sender)
{
    return ZmFormat::legacyRequest(QStringLiteral("poke"), {{QStringLiteral("Username"), sender}});
}

} // namespace ZmsgdProtocol10
