#include "zmsgfwwire.h"

#include "zmformat.h"

#include <QtGlobal>

namespace ZMsgFwWire {

const char *const Tag = "ZM/1.1";

QString escapeValue(const QString &value)
{
    QString escaped = value;
    escaped.replace(QLatin1String("&"), QLatin1String("&amp;"));
    escaped.replace(QLatin1String(" "), QLatin1String("&nbsp;"));
    return escaped;
}

QString unescapeValue(const QString &value)
{
    QString plain = value;
    plain.replace(QLatin1String("&nbsp;"), QLatin1String(" "));
    plain.replace(QLatin1String("&amp;"), QLatin1String("&"));
    return plain;
}

QString decodeUtf8(const QByteArray &bytes)
{
    // QString::fromUtf8(QByteArray) would stop at the first NUL byte.
    return QString::fromUtf8(bytes.constData(), bytes.size());
}

QString decodeLine(const QByteArray &line)
{
    return decodeUtf8(line.trimmed());
}

QStringList splitWords(const QString &line)
{
    return line.split(QLatin1Char(' '), Qt::KeepEmptyParts);
}

QString argumentValue(const QStringList &words, const QString &key, bool *found)
{
    bool seen = false;
    QString value;
    for (const QString &word : words) {
        if (word.startsWith(key)) {
            value = word.mid(key.size());
            seen = true;
        }
    }
    if (found)
        *found = seen;
    return value;
}

int integerArgument(const QStringList &words, const QString &key, int defaultValue, bool *found)
{
    bool seen = false;
    const QString text = argumentValue(words, key, &seen);
    if (found)
        *found = seen;
    if (!seen)
        return defaultValue;
    return unescapeValue(text).toInt();
}

bool isReturnLine(const QStringList &words)
{
    return words.size() >= 3 && words.at(0) == QLatin1String(Tag) && words.at(1) == QLatin1String("return");
}

bool isWritableValue(const QString &value)
{
    return !ZmFormat::hasLineBreak(value);
}

LineBuilder::LineBuilder(const QString &verb)
    : m_line(QLatin1String(Tag) + QLatin1Char(' ') + verb)
{
    m_valid = isWritableValue(verb);
}

LineBuilder &LineBuilder::text(const QString &key, const QString &value)
{
    return raw(key, escapeValue(value));
}

LineBuilder &LineBuilder::raw(const QString &key, const QString &value)
{
    if (!isWritableValue(key) || !isWritableValue(value))
        m_valid = false;
    m_line += QLatin1Char(' ') + key + value;
    return *this;
}

LineBuilder &LineBuilder::number(const QString &key, int value)
{
    return raw(key, QString::number(value));
}

LineBuilder &LineBuilder::flag(const QString &key, bool value)
{
    return raw(key, value ? QStringLiteral("true") : QStringLiteral("false"));
}

QByteArray LineBuilder::toBytes() const
{
    return m_line.toUtf8() + '\n';
}

QString convertObjectWord(const QString &word)
{
    QString converted = unescapeValue(word);
    converted.replace(QLatin1String("<"), QLatin1String("&lt;"));
    converted.replace(QLatin1String(">"), QLatin1String("&gt;"));
    return converted;
}

QString escapeListField(const QString &field)
{
    QString escaped;
    escaped.reserve(field.size());
    for (const QChar c : field) {
        if (c == QLatin1Char('|'))
            escaped += QLatin1String("&#124;");
        else if (c == QLatin1Char('<'))
            escaped += QLatin1String("&#60;");
        else if (c == QLatin1Char('>'))
            escaped += QLatin1String("&#62;");
        else if (c == QLatin1Char('&'))
            escaped += QLatin1String("&#38;");
        else
            escaped += c;
    }
    return escaped;
}

QString unescapeListField(const QString &field)
{
    static const struct {
        const char *entity;
        char plain;
    } entities[] = {{"&#124;", '|'}, {"&#60;", '<'}, {"&#62;", '>'}, {"&#38;", '&'}};
    if (!field.contains(QLatin1String("&#")))
        return field;
    QString plain;
    plain.reserve(field.size());
    int i = 0;
    while (i < field.size()) {
        bool matched = false;
        if (field.at(i) == QLatin1Char('&')) {
            for (const auto &e : entities) {
                const QLatin1String entity(e.entity);
                if (field.midRef(i, entity.size()) == entity) {
                    plain += QLatin1Char(e.plain);
                    i += entity.size();
                    matched = true;
                    break;
                }
            }
        }
        if (!matched)
            plain += field.at(i++);
    }
    return plain;
}

static QString renderMessage(const QStringList &words)
{
    const QString sender = unescapeValue(argumentValue(words, QStringLiteral("--username=")));
    const QString text = unescapeValue(argumentValue(words, QStringLiteral("--message=")));
    if (sender.isEmpty() || text.isEmpty())
        return QString();
    if (text.size() > MaxMessageTextLength) {
        qWarning("ZMsgFwWire: dropped a pushed message of %d characters", int(text.size()));
        return QString();
    }
    return QStringLiteral("MessageFromUser<>") + sender + QStringLiteral(": ") + text + QLatin1Char('\n');
}

static QString renderPoke(const QStringList &words)
{
    const QString sender = unescapeValue(argumentValue(words, QStringLiteral("--username=")));
    if (sender.isEmpty())
        return QString();
    return QStringLiteral("PokeFromUser<>") + sender + QLatin1Char('\n');
}

static QString renderReturnOrNotification(const QStringList &words)
{
    QString object = QStringLiteral("ReturnIntialize");
    for (const QString &word : words)
        object += QStringLiteral("<>") + convertObjectWord(word);
    return object;
}

static qint64 positiveNumber(const QString &text)
{
    bool ok = false;
    const qint64 number = text.toLongLong(&ok);
    return ok && number > 0 ? number : 0;
}

QString renderIncomingObject(const QByteArray &line)
{
    return renderIncomingObject(line, nullptr);
}

QString renderIncomingObject(const QByteArray &line, qint64 *messageId)
{
    if (messageId)
        *messageId = 0;
    const QStringList words = splitWords(decodeLine(line));
    if (words.size() < 2 || words.at(0) != QLatin1String(Tag))
        return QString();
    const QString &verb = words.at(1);
    if (verb == QLatin1String("message")) {
        if (messageId)
            *messageId = positiveNumber(argumentValue(words, QStringLiteral("--mid=")));
        return renderMessage(words);
    }
    if (verb == QLatin1String("poke"))
        return renderPoke(words);
    if (verb == QLatin1String("return") || verb == QLatin1String("notification"))
        return renderReturnOrNotification(words);
    return QString();
}

} // namespace ZMsgFwWire
