#include "MessageFormat.h"

#include <QRegExp>
#include <QStringList>

namespace MessageFormat {

namespace {

struct Entity {
    const char *text; // UTF-8
    const char *entity;
};

// Order matters: "&" first so the entities written afterwards are not escaped again.
const Entity EscapeTable[] = {
    {"&", "&amp;"},        {"<", "&lt;"},          {">", "&gt;"},         {"\"", "&quot;"},
    {"\xc3\xa4", "&auml;"}, {"\xc3\xb6", "&ouml;"}, {"\xc3\xbc", "&uuml;"}, {"\xc3\x84", "&Auml;"},
    {"\xc3\x96", "&Ouml;"}, {"\xc3\x9c", "&Uuml;"}, {"\xc3\x9f", "&szlig;"}, {"\xe2\x82\xac", "&euro;"},
    {"\xc2\xa7", "&sect;"}, {"\xc2\xa9", "&copy;"}, {"\xc2\xae", "&reg;"},  {"\xc2\xb0", "&deg;"},
    {"\xc2\xb2", "&sup2;"}, {"\xc2\xb3", "&sup3;"}, {"\r\n", "<br>"},       {"\r", "<br>"},
    {"\n", "<br>"},
};

// "&amp;" last, so an escaped entity name comes back as its literal text.
const Entity DecodeTable[] = {
    {"\xc3\xa4", "&auml;"}, {"\xc3\xb6", "&ouml;"}, {"\xc3\xbc", "&uuml;"}, {"\xc3\x84", "&Auml;"},
    {"\xc3\x96", "&Ouml;"}, {"\xc3\x9c", "&Uuml;"}, {"\xc3\x9f", "&szlig;"}, {"\xe2\x82\xac", "&euro;"},
    {"\xc2\xa7", "&sect;"}, {"\xc2\xa9", "&copy;"}, {"\xc2\xae", "&reg;"},  {"\xc2\xb0", "&deg;"},
    {"\xc2\xb2", "&sup2;"}, {"\xc2\xb3", "&sup3;"}, {"\n", "<br>"},         {"\"", "&quot;"},
    {"<", "&lt;"},          {">", "&gt;"},          {"&", "&amp;"},
};

struct Smiley {
    const char *pattern;
    const char *image;
};

const Smiley SmileyTable[] = {
    {" :) ", ":/img/friendly.png"},   {" :-) ", ":/img/friendly.png"}, {" ;) ", ":/img/wink.png"},
    {" ;-) ", ":/img/wink.png"},      {" :| ", ":/img/normal.png"},    {" :-| ", ":/img/normal.png"},
    {" :D ", ":/img/laughting.png"},  {" :-D ", ":/img/laughting.png"}, {" :P ", ":/img/haha.png"},
    {" :-P ", ":/img/haha.png"},      {" :O ", ":/img/surprised.png"}, {" :-O ", ":/img/surprised.png"},
    {" :( ", ":/img/sad.png"},        {" :-( ", ":/img/sad.png"},      {" ;( ", ":/img/cry.png"},
    {" ;-( ", ":/img/cry.png"},       {" (cry) ", ":/img/cry.png"},    {" (angry) ", ":/img/angry.png"},
    {" (evil) ", ":/img/evil.png"},
};

} // namespace

QString escapeHtml(const QString &text)
{
    QString result = text;
    for (const Entity &e : EscapeTable)
        result.replace(QString::fromUtf8(e.text), QLatin1String(e.entity));
    return result;
}

QByteArray decodeEntities(const QString &text)
{
    QByteArray result = text.toUtf8();
    for (const Entity &e : DecodeTable)
        result.replace(e.entity, e.text);
    return result;
}

QString sanitizeReceived(const QString &text)
{
    return escapeHtml(QString::fromUtf8(decodeEntities(text)));
}

QString formatMessage(const QString &text)
{
    static const QRegExp webLink(QStringLiteral(" ((?:https?|ftp)://\\S+) "), Qt::CaseSensitive, QRegExp::RegExp2);
    static const QRegExp ownLink(QStringLiteral(" ((?:mtasa)://\\S+) "), Qt::CaseSensitive, QRegExp::RegExp2);
    const QString anchor = QStringLiteral(" <a href=\"\\1\">\\1</a> ");

    QString result = QLatin1Char(' ') + text + QLatin1Char(' ');
    if (result.contains(QLatin1String("://"))) {
        result.replace(webLink, anchor);
        result.replace(ownLink, anchor);
    }
    for (const Smiley &s : SmileyTable) {
        result.replace(QLatin1String(s.pattern),
                       QLatin1String(" <img src='") + QLatin1String(s.image) + QLatin1String("'/> "));
    }
    return result.trimmed();
}

QString escapeName(const QString &text)
{
    return text.toHtmlEscaped();
}

} // namespace MessageFormat
