#include "AccountChecks.h"

#include "zmformat.h"

namespace AccountChecks {

bool hasLineBreak(const QString &text)
{
    return ZmFormat::hasLineBreak(text);
}

bool isUtf8WithoutBomCompatible(const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    const QByteArray latin1 = text.toLatin1();
    const QString asUtf8 = QString::fromUtf8(utf8);
    return QString::fromLatin1(utf8) == asUtf8 && QString::fromUtf8(latin1) == asUtf8;
}

NickProblem checkNick(const QString &nick)
{
    if (nick.size() < MinNickLength)
        return NickProblem::TooShort;
    if (nick.size() > MaxNickLength)
        return NickProblem::TooLong;
    if (nick != nick.trimmed())
        return NickProblem::NotTrimmed;
    if (hasLineBreak(nick) || nick.contains(QLatin1String("<br>")))
        return NickProblem::LineBreak;
    if (!isUtf8WithoutBomCompatible(nick))
        return NickProblem::Encoding;
    return NickProblem::None;
}

MessageStateProblem checkMessageState(const QString &escaped, const QByteArray &raw)
{
    if (escaped != escaped.trimmed())
        return MessageStateProblem::NotTrimmed;
    if (hasLineBreak(escaped) || escaped.contains(QLatin1String("<br>")) || raw.contains("<br>"))
        return MessageStateProblem::LineBreak;
    if (!isUtf8WithoutBomCompatible(escaped))
        return MessageStateProblem::Encoding;
    if (escaped.size() > MaxMessageStateLength)
        return MessageStateProblem::TooLong;
    return MessageStateProblem::None;
}

PasswordProblem checkNewPassword(const QString &newPassword, const QString &repeated)
{
    if (newPassword != repeated)
        return PasswordProblem::Mismatch;
    if (newPassword.size() < MinPasswordLength)
        return PasswordProblem::TooShort;
    if (newPassword != newPassword.trimmed())
        return PasswordProblem::NotTrimmed;
    if (hasLineBreak(newPassword))
        return PasswordProblem::LineBreak;
    if (!isUtf8WithoutBomCompatible(newPassword))
        return PasswordProblem::Encoding;
    return PasswordProblem::None;
}

LoginProblem checkLogin(const QString &name, const QString &password)
{
    if (hasLineBreak(name))
        return LoginProblem::NameLineBreak;
    if (hasLineBreak(password))
        return LoginProblem::PasswordLineBreak;
    return LoginProblem::None;
}

} // namespace AccountChecks
