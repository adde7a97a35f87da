#include "ChatHistory.h"

#include "DataDirectory.h"
#include "MessageFormat.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

ChatHistory::ChatHistory(const QString &contactUser)
    : m_fileName(DataDirectory::filePath(contactUser, QStringLiteral(".ini")))
{
}

QString ChatHistory::blockHeader(const QString &speaker, const QString &ownName, const QString &contactName,
                                 const QString &unknownText)
{
    if (speaker == QLatin1String("You"))
        return QLatin1String("<span style=\"color: grey\">") + MessageFormat::escapeName(ownName) + QLatin1String("</span><br>");
    if (speaker == QLatin1String("She/He"))
        return QLatin1String("<span style=\"color: blue\">") + MessageFormat::escapeName(contactName) + QLatin1String("</span><br>");
    return QLatin1String("<span style=\"color: red\">") + MessageFormat::escapeName(unknownText) + QLatin1String("</span><br>");
}

ChatHistory::Loaded ChatHistory::load(const QString &ownName, const QString &contactName, const QString &unknownText) const
{
    Loaded result;
    if (!QFileInfo::exists(m_fileName))
        return result;
    QSettings history(m_fileName, QSettings::IniFormat);
    result.lastSpeaker = history.value(QStringLiteral("Chat/LastMessageFrom")).toString();
    result.lastId = qMax(0, history.value(QStringLiteral("Chat/LastMessageID"), 0).toInt());
    result.firstId = result.lastId > ShownBefore ? result.lastId - ShownBefore : 1;

    history.beginGroup(QStringLiteral("Messages"));
    for (int i = result.firstId; i <= result.lastId; ++i) {
        const QStringList entry = history.value(QStringLiteral("Message") + QString::number(i)).toStringList();
        QString markup = entry.size() > 2 ? entry.at(0) : QString();
        if (i == result.firstId && entry.size() > 2 && entry.at(2) == QLatin1String("false"))
            markup.prepend(blockHeader(entry.at(1), ownName, contactName, unknownText));
        result.markups.append(markup);
    }
    return result;
}

QByteArray ChatHistory::iniValue(const QString &value)
{
    // QSettings marks strings that begin with "@" by doubling it, so they are not read as a
    // typed value such as "@Invalid()", and wraps strings holding NUL characters.
    QString str = value;
    if (str.contains(QChar(0)))
        str = QLatin1String("@String(") + str + QLatin1Char(')');
    else if (str.startsWith(QLatin1Char('@')))
        str.prepend(QLatin1Char('@'));
    QByteArray result;
    result.reserve(str.size() + str.size() / 2);
    bool needsQuotes = false;
    bool escapeNextIfDigit = false;
    for (const QChar qc : str) {
        const ushort ch = qc.unicode();
        if (ch == ';' || ch == ',' || ch == '=')
            needsQuotes = true;
        if (escapeNextIfDigit
            && ((ch >= '0' && ch <= '9') || (ch >= 'a' && ch <= 'f') || (ch >= 'A' && ch <= 'F'))) {
            result += "\\x" + QByteArray::number(ch, 16);
            continue;
        }
        escapeNextIfDigit = false;
        switch (ch) {
        case '\0': result += "\\0"; escapeNextIfDigit = true; break;
        case '\a': result += "\\a"; break;
        case '\b': result += "\\b"; break;
        case '\f': result += "\\f"; break;
        case '\n': result += "\\n"; break;
        case '\r': result += "\\r"; break;
        case '\t': result += "\\t"; break;
        case '\v': result += "\\v"; break;
        case '"':
        case '\\':
            result += '\\';
            result += char(ch);
            break;
        default:
            if (ch <= 0x1F || ch >= 0x7F) {
                result += "\\x" + QByteArray::number(ch, 16);
                escapeNextIfDigit = true;
            } else {
                result += char(ch);
            }
        }
    }
    if (needsQuotes || (!result.isEmpty() && (result.startsWith(' ') || result.endsWith(' ')))) {
        result.prepend('"');
        result += '"';
    }
    return result;
}

QByteArray ChatHistory::iniValue(const QStringList &values)
{
    if (values.isEmpty())
        return QByteArrayLiteral("@Invalid()");
    QByteArray result;
    for (int i = 0; i < values.size(); ++i) {
        if (i != 0)
            result += ", ";
        result += iniValue(values.at(i));
    }
    return result;
}

QByteArray ChatHistory::appendBlock(int id, const QString &markup, const QString &speaker, bool startsBlock)
{
    // The message comes first so that "LastMessageID" never names a message that is not there.
    QByteArray block = QByteArrayLiteral("[Messages]\nMessage") + QByteArray::number(id) + '='
        + iniValue(QStringList{markup, speaker, startsBlock ? QStringLiteral("true") : QStringLiteral("false")})
        + QByteArrayLiteral("\n[Chat]\nLastMessageFrom=") + iniValue(speaker)
        + QByteArrayLiteral("\nLastMessageID=") + QByteArray::number(id) + '\n';
    return block;
}

bool ChatHistory::append(int id, const QString &markup, const QString &speaker, bool startsBlock)
{
    QDir().mkpath(QFileInfo(m_fileName).absolutePath());
    QFile file(m_fileName);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Append)) {
        qWarning() << "Cannot write chat history" << m_fileName << file.errorString();
        return false;
    }
    const qint64 oldSize = file.size();
    QByteArray block = appendBlock(id, markup, speaker, startsBlock);
    if (oldSize > 0) {
        // A file that ends inside a line (edited by hand, or cut short by a full disk) must
        // not swallow the section header that follows.
        char last = '\n';
        if (file.seek(oldSize - 1) && file.getChar(&last) && last != '\n')
            block.prepend('\n');
    }
    if (file.write(block) != block.size() || !file.flush()) {
        qWarning() << "Cannot write chat history" << m_fileName << file.errorString();
        file.resize(oldSize);
        return false;
    }
    return true;
}
