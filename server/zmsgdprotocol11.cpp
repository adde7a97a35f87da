#include "zmsgdprotocol11.h"

#include "zmsgdlog.h"
#include "zmsgdservice.h"

#include <zmsgfwwire.h>

#include <functional>

using ZMsgFwWire::LineBuilder;

namespace ZmsgdProtocol11 {

namespace {

QString textArgument(const QStringList &words, const char *key, bool *found = nullptr)
{
    return ZMsgFwWire::unescapeValue(ZMsgFwWire::argumentValue(words, QLatin1String(key), found));
}

// fallback: the reply without its values, so that the client still takes the 500 for its answer.
QByteArray finish(const LineBuilder &line, LineBuilder fallback = LineBuilder(QStringLiteral("return")))
{
    if (line.isValid())
        return line.toBytes();
    // A stored value that cannot travel on one line is never sent half.
    return fallback.number(QStringLiteral("--id="), ZmsgdCode::Internal).toBytes();
}

// Empty when the line could not be framed; such a push is dropped.
QByteArray pushable(const LineBuilder &line)
{
    return line.isValid() ? line.toBytes() : QByteArray();
}

struct RequestKind {
    const char *word;
    const char *replyWord;
    const char *answerKey;
    bool aboutOtherUser;
    std::function<ZmsgdService::Answer(ZmsgdService *, const QString &, const QString &)> answer;
};

const QList<RequestKind> &requestKinds()
{
    using S = ZmsgdService;
    static const QList<RequestKind> kinds = {
        {"contacts", "contacts", "--users=", false,
         [](S *s, const QString &u, const QString &) { return s->contacts(u); }},
        {"contactslength", "contactslength", "--length=", false,
         [](S *s, const QString &u, const QString &) { return s->contactsLength(u); }},
        {"contactsrequests", "contactsrequests", "--users=", false,
         [](S *s, const QString &u, const QString &) { return s->contactsRequests(u); }},
        {"contactsrequestslength", "contactrequestslength", "--length=", false,
         [](S *s, const QString &u, const QString &) { return s->contactsRequestsLength(u); }},
        {"contactswithstates", "contactswithstates", "--users=", false,
         [](S *s, const QString &u, const QString &) { return s->contactsWithStates(u); }},
        {"contactswithavatar", "contactswithavatar", "--users=", false,
         [](S *s, const QString &u, const QString &) { return s->contactsWithAvatar(u); }},
        {"onlinestate", "onlinestate", "--state=", false,
         [](S *s, const QString &u, const QString &) { return s->ownState(u); }},
        {"anotheruseronlinestate", "anotheruseronlinestate", "--state=", true,
         [](S *s, const QString &u, const QString &o) { return s->otherState(u, o); }},
        {"messagestate", "messagestate", "--message=", false,
         [](S *s, const QString &u, const QString &) { return s->ownStatusMessage(u); }},
        {"anotherusermessagestate", "anotherusermessagestate", "--message=", true,
         [](S *s, const QString &u, const QString &o) { return s->otherStatusMessage(u, o); }},
        {"nick", "nick", "--nick=", false, [](S *s, const QString &u, const QString &) { return s->ownNick(u); }},
        {"anotherusernick", "anotherusernick", "--nick=", true,
         [](S *s, const QString &u, const QString &o) { return s->otherNick(u, o); }},
        {"mail", "mail", "--mail=", false, [](S *s, const QString &u, const QString &) { return s->ownMail(u); }},
        {"usermail", "mail", "--mail=", false, [](S *s, const QString &u, const QString &) { return s->ownMail(u); }},
        {"anotherusermail", "anotherusermail", "--mail=", true,
         [](S *s, const QString &u, const QString &o) { return s->otherMail(u, o); }},
        {"profileinfo", "profileinfo", "--image=", true,
         [](S *s, const QString &u, const QString &o) { return s->profileInfo(u, o); }},
        {"avatar", "avatar", "--avatar=", false,
         [](S *s, const QString &u, const QString &) { return s->ownAvatar(u); }},
    };
    return kinds;
}

QByteArray requestReply(ZmsgdService *service, const QString &user, const QStringList &words)
{
    const QString word = textArgument(words, "--rq=");
    for (const RequestKind &kind : requestKinds()) {
        if (word != QLatin1String(kind.word))
            continue;
        LineBuilder line(QStringLiteral("return"));
        line.text(QStringLiteral("--rq="), QLatin1String(kind.replyWord));
        const LineBuilder replyStart = line;
        QString other;
        if (kind.aboutOtherUser) {
            other = textArgument(words, "--username=");
            if (other.isEmpty())
                return finish(line.number(QStringLiteral("--id="), ZmsgdCode::BadRequest));
        }
        const ZmsgdService::Answer answer = kind.answer(service, user, other);
        line.number(QStringLiteral("--id="), answer.code);
        if (kind.aboutOtherUser)
            line.text(QStringLiteral("--username="), other);
        if (answer.code == ZmsgdCode::Ok)
            line.text(QLatin1String(kind.answerKey), answer.text);
        const QByteArray bytes = finish(line, replyStart);
        if (bytes.size() <= service->maxReplyLength())
            return bytes;
        // The client would drop the connection over it: it gets the failure instead.
        ZmsgdLog::event(QStringLiteral("%1: the %2 reply would be %3 bytes, more than clients read; answered 413")
                            .arg(user, QLatin1String(kind.word))
                            .arg(bytes.size()));
        return finish(LineBuilder(replyStart).number(QStringLiteral("--id="), ZmsgdCode::TooLong));
    }
    return finish(
        LineBuilder(QStringLiteral("return"))
            .text(QStringLiteral("--rq="), word)
            .number(QStringLiteral("--id="), word.isEmpty() ? ZmsgdCode::BadRequest : ZmsgdCode::UnknownCommand));
}

int actionCode(ZmsgdService *service, const QString &user, const QString &action, const QStringList &words)
{
    bool found = false;
    if (action == QLatin1String("addcontact"))
        return service->addContact(user, textArgument(words, "--username="));
    if (action == QLatin1String("delcontact"))
        return service->delContact(user, textArgument(words, "--username="));
    if (action == QLatin1String("setonlinestate")) {
        const int state = ZMsgFwWire::integerArgument(words, QStringLiteral("--state="), 0, &found);
        return found ? service->setState(user, state) : ZmsgdCode::BadRequest;
    }
    if (action == QLatin1String("setmessagestate")) {
        const QString message = textArgument(words, "--message=", &found);
        return found ? service->setStatusMessage(user, message) : ZmsgdCode::BadRequest;
    }
    if (action == QLatin1String("setnick"))
        return service->setNick(user, textArgument(words, "--nick="));
    if (action == QLatin1String("setmail")) {
        const QString mail = textArgument(words, "--mail=", &found);
        if (!found)
            return ZmsgdCode::BadRequest;
        return service->setMail(user, mail, textArgument(words, "--vfo=") == QLatin1String("true"));
    }
    if (action == QLatin1String("setpassword"))
        return service->setPassword(user, textArgument(words, "--oldpassword="), textArgument(words, "--newpassword="));
    if (action == QLatin1String("sendpoke"))
        return service->sendPoke(user, textArgument(words, "--username="));
    if (action == QLatin1String("sendmessage"))
        return service->sendMessage(user, textArgument(words, "--username="), textArgument(words, "--message="));
    return action.isEmpty() ? ZmsgdCode::BadRequest : ZmsgdCode::UnknownCommand;
}

} // namespace

bool parseLogin(const QStringList &words, LoginRequest *request)
{
    if (words.size() < 2 || words.at(0) != QLatin1String(ZMsgFwWire::Tag) || words.at(1) != QLatin1String("login"))
        return false;
    request->user = textArgument(words, "--username=");
    request->password = textArgument(words, "--password=");
    request->client.system = textArgument(words, "--system=");
    request->client.version = textArgument(words, "--version=");
    return true;
}

QByteArray loginReply(int code)
{
    LineBuilder line(QStringLiteral("return"));
    line.number(QStringLiteral("--id="), code);
    if (code == ZmsgdCode::Ok)
        line.text(QStringLiteral("--result="), QStringLiteral("success"))
            .text(QStringLiteral("--description="), QStringLiteral("Logged in"))
            .raw(QStringLiteral("--ack="), QStringLiteral("1"));
    else if (code == ZmsgdCode::TooManyRequests)
        line.text(QStringLiteral("--result="), QStringLiteral("failed"))
            .text(QStringLiteral("--description="), QStringLiteral("Too many failed logins, try again later"));
    else
        line.text(QStringLiteral("--result="), QStringLiteral("failed"))
            .text(QStringLiteral("--description="), QStringLiteral("Unknown account or wrong password"));
    return finish(line);
}

bool parseAcknowledgement(const QStringList &words, qint64 *id)
{
    if (words.size() < 3 || words.at(0) != QLatin1String(ZMsgFwWire::Tag) || words.at(1) != QLatin1String("action")
        || textArgument(words, "--at=") != QLatin1String("ack"))
        return false;
    bool ok = false;
    const qint64 number = ZMsgFwWire::argumentValue(words, QStringLiteral("--mid=")).toLongLong(&ok);
    *id = ok && number > 0 ? number : 0;
    return true;
}

QByteArray errorReply(int code, const QString &result)
{
    return finish(LineBuilder(QStringLiteral("return"))
                      .number(QStringLiteral("--id="), code)
                      .text(QStringLiteral("--result="), result));
}

QByteArray notLoggedInReply(const QStringList &words)
{
    LineBuilder line(QStringLiteral("return"));
    if (words.size() >= 2 && words.at(1) == QLatin1String("request"))
        line.text(QStringLiteral("--rq="), textArgument(words, "--rq="));
    else if (words.size() >= 2 && words.at(1) == QLatin1String("action"))
        line.text(QStringLiteral("--at="), textArgument(words, "--at="));
    line.number(QStringLiteral("--id="), ZmsgdCode::NotLoggedIn)
        .text(QStringLiteral("--result="), QStringLiteral("notloggedin"));
    return finish(line);
}

bool parsePasswordChange(const QStringList &words, QString *oldPassword, QString *newPassword)
{
    if (words.size() < 2 || words.at(0) != QLatin1String(ZMsgFwWire::Tag) || words.at(1) != QLatin1String("action")
        || textArgument(words, "--at=") != QLatin1String("setpassword"))
        return false;
    *oldPassword = textArgument(words, "--oldpassword=");
    *newPassword = textArgument(words, "--newpassword=");
    return true;
}

QByteArray passwordChangeReply(int code)
{
    return finish(LineBuilder(QStringLiteral("return"))
                      .text(QStringLiteral("--at="), QStringLiteral("setpassword"))
                      .number(QStringLiteral("--id="), code));
}

QByteArray reply(ZmsgdService *service, const QString &user, const QStringList &words)
{
    if (words.size() < 2 || words.at(0) != QLatin1String(ZMsgFwWire::Tag))
        return errorReply(ZmsgdCode::BadRequest, QStringLiteral("badline"));
    const QString &verb = words.at(1);
    if (verb == QLatin1String("request"))
        return requestReply(service, user, words);
    if (verb == QLatin1String("action")) {
        const QString action = textArgument(words, "--at=");
        const int code = actionCode(service, user, action, words);
        return finish(LineBuilder(QStringLiteral("return"))
                          .text(QStringLiteral("--at="), action)
                          .number(QStringLiteral("--id="), code));
    }
    if (verb == QLatin1String("login"))
        return errorReply(ZmsgdCode::Conflict, QStringLiteral("alreadyloggedin"));
    return errorReply(ZmsgdCode::UnknownCommand, QStringLiteral("unknownverb"));
}

QByteArray messageLine(qint64 id, const QString &sender, const QString &text)
{
    return pushable(LineBuilder(QStringLiteral("message"))
                        .text(QStringLiteral("--username="), sender)
                        .text(QStringLiteral("--message="), text)
                        .raw(QStringLiteral("--mid="), QString::number(id)));
}

QByteArray pokeLine(const QString &sender)
{
    return pushable(LineBuilder(QStringLiteral("poke")).text(QStringLiteral("--username="), sender));
}

QByteArray stateLine(const QString &user, int state)
{
    return pushable(LineBuilder(QStringLiteral("notification"))
                        .text(QStringLiteral("--nt="), QStringLiteral("onlinestate"))
                        .text(QStringLiteral("--username="), user)
                        .number(QStringLiteral("--state="), state));
}

QByteArray requestsLine(const QStringList &requesters)
{
    // A notification, not a return line: a synchronous call waiting for its own
    // "contactsrequests" reply must never take this push for it. The client's dispatch
    // reads the same arguments from either.
    return finish(LineBuilder(QStringLiteral("notification"))
                      .text(QStringLiteral("--nt="), QStringLiteral("contactsrequests"))
                      .text(QStringLiteral("--rq="), QStringLiteral("contactsrequests"))
                      .number(QStringLiteral("--id="), ZmsgdCode::Ok)
                      .text(QStringLiteral("--users="), ZmsgdFormat::joinList(requesters)));
}

} // namespace ZmsgdProtocol11
