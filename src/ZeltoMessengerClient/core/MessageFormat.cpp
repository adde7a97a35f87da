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
    {"&", "&amp;"},         {"<", "&lt;"},          {">", "&gt;"},           {"\"", "&quot;"},
    {"\xc3\xa4", "&auml;"}, {"\xc3\xb6", "&ouml;"}, {"\xc3\xbc", "&uuml;"},  {"\xc3\x84", "&Auml;"},
    {"\xc3\x96", "&Ouml;"}, {"\xc3\x9c", "&Uuml;"}, {"\xc3\x9f", "&szlig;"}, {"\xe2\x82\xac", "&euro;"},
    {"\xc2\xa7", "&sect;"}, {"\xc2\xa9", "&copy;"}, {"\xc2\xae", "&reg;"},   {"\xc2\xb0", "&deg;"},
    {"\xc2\xb2", "&sup2;"}, {"\xc2\xb3", "&sup3;"}, {"\r\n", "<br>"},        {"\r", "<br>"},
    {"\n", "<br>"},
};

// "&amp;" last, so an escaped entity name comes back as its literal text.
const Entity DecodeTable[] = {
    {"\xc3\xa4", "&auml;"}, {"\xc3\xb6", "&ouml;"}, {"\xc3\xbc", "&uuml;"},  {"\xc3\x84", "&Auml;"},
    {"\xc3\x96", "&Ouml;"}, {"\xc3\x9c", "&Uuml;"}, {"\xc3\x9f", "&szlig;"}, {"\xe2\x82\xac", "&euro;"},
    {"\xc2\xa7", "&sect;"}, {"\xc2\xa9", "&copy;"}, {"\xc2\xae", "&reg;"},   {"\xc2\xb0", "&deg;"},
    {"\xc2\xb2", "&sup2;"}, {"\xc2\xb3", "&sup3;"}, {"\n", "<br>"},          {"\"", "&quot;"},
    {"<", "&lt;"},          {">", "&gt;"},          {"&", "&amp;"},
};

struct Smiley {
    const char *pattern;
    const char *image;
};

const Smiley SmileyTable[] = {
    {" :) ", ":/img/friendly.png"},  {" :-) ", ":/img/friendly.png"},  {" ;) ", ":/img/wink.png"},
    {" ;-) ", ":/img/wink.png"},     {" :| ", ":/img/normal.png"},     {" :-| ", ":/img/normal.png"},
    {" :D ", ":/img/laughting.png"}, {" :-D ", ":/img/laughting.png"}, {" :P ", ":/img/haha.png"},
    {" :-P ", ":/img/haha.png"},     {" :O ", ":/img/surprised.png"},  {" :-O ", ":/img/surprised.png"},
    {" :( ", ":/img/sad.png"},       {" :-( ", ":/img/sad.png"},       {" ;( ", ":/img/cry.png"},
    {" ;-( ", ":/img/cry.png"},      {" (cry) ", ":/img/cry.png"},     {" (angry) ", ":/img/angry.png"},
    {" (evil) ", ":/img/evil.png"},
};

QString pictureMarkup(const char *image)
{
    return QLatin1String(" <img src='") + QLatin1String(image) + QLatin1String("'/> ");
}

// QString::replace of the first `limit` matches only; returns how many it replaced.
int replaceAtMost(QString &text, QLatin1String pattern, const QString &replacement, int limit)
{
    int found = text.indexOf(pattern);
    if (found < 0 || limit <= 0)
        return 0;
    QString result;
    result.reserve(text.size());
    int from = 0;
    int count = 0;
    while (found >= 0 && count < limit) {
        result.append(text.midRef(from, found - from));
        result.append(replacement);
        from = found + pattern.size();
        ++count;
        found = text.indexOf(pattern, from);
    }
    result.append(text.midRef(from));
    text = result;
    return count;
}

// The text a smiley picture stands for, empty for other pictures.
QString smileyText(const QStringRef &source)
{
    for (const Smiley &s : SmileyTable) {
        if (source == QLatin1String(s.image))
            return QString::fromLatin1(s.pattern).trimmed();
    }
    return QString();
}

// Index just past the tag that starts at `from` (a "<"); -1 when it never ends. Quoted
// attribute values may hold ">".
int tagEnd(const QString &markup, int from)
{
    QChar quote;
    for (int i = from + 1; i < markup.size(); ++i) {
        const QChar c = markup.at(i);
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            quote = c;
        } else if (c == QLatin1Char('>')) {
            return i + 1;
        }
    }
    return -1;
}

// The lower-case element name of a tag, with "/" in front for a closing tag.
QString tagName(const QStringRef &tag)
{
    int i = 1;
    QString name;
    if (i < tag.size() && tag.at(i) == QLatin1Char('/'))
        name += tag.at(i++);
    while (i < tag.size() && tag.at(i).isLetterOrNumber())
        name += tag.at(i++).toLower();
    return name;
}

QStringRef attributeValue(const QStringRef &tag, QLatin1String attribute)
{
    const int at = tag.indexOf(attribute + QLatin1Char('='), 0, Qt::CaseInsensitive);
    if (at < 0)
        return QStringRef();
    int start = at + attribute.size() + 1;
    if (start >= tag.size())
        return QStringRef();
    const QChar quote = tag.at(start);
    if (quote != QLatin1Char('"') && quote != QLatin1Char('\''))
        return QStringRef();
    ++start;
    const int end = tag.indexOf(quote, start);
    return end < 0 ? QStringRef() : tag.mid(start, end - start);
}

// Picture elements in a tag's text, the tag itself included: "<img" in any case, not
// followed by a letter or digit. A tag with a quoted "<" may hold more than one.
int picturesIn(const QStringRef &tag)
{
    int count = 0;
    for (int at = tag.indexOf(QLatin1Char('<')); at >= 0; at = tag.indexOf(QLatin1Char('<'), at + 1)) {
        if (tag.mid(at + 1, 3).compare(QLatin1String("img"), Qt::CaseInsensitive) == 0
            && (at + 4 >= tag.size() || !tag.at(at + 4).isLetterOrNumber()))
            ++count;
    }
    return count;
}

// Length of the character at `at`: an entity, a surrogate pair or one code unit.
int characterLength(const QString &markup, int at)
{
    const QChar c = markup.at(at);
    if (c.isHighSurrogate() && at + 1 < markup.size() && markup.at(at + 1).isLowSurrogate())
        return 2;
    if (c != QLatin1Char('&'))
        return 1;
    for (int i = at + 1; i < markup.size() && i <= at + 10; ++i) {
        const QChar e = markup.at(i);
        if (e == QLatin1Char(';'))
            return i > at + 1 ? i - at + 1 : 1;
        if (!e.isLetterOrNumber() && e != QLatin1Char('#'))
            return 1;
    }
    return 1;
}

bool isBreakingSpace(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QChar(0x200B);
}

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

QByteArray decodeEntitiesStart(const QString &text, int maxBytes)
{
    // An entity is at most 8 characters and shows at least one byte, so only one cut off at
    // the end of this prefix differs from the whole text's decoding, beyond maxBytes.
    return decodeEntities(text.left(8 * maxBytes + 8)).left(maxBytes);
}

QString sanitizeReceived(const QString &text)
{
    // An entity is at most 8 characters long, so this prefix holds everything that is shown.
    const int longestShown = MaxShownCharacters * 8;
    QString decoded = QString::fromUtf8(decodeEntities(text.left(longestShown)));
    if (decoded.size() > MaxShownCharacters || text.size() > longestShown) {
        int cut = qMin(decoded.size(), MaxShownCharacters);
        if (cut > 0 && decoded.at(cut - 1).isHighSurrogate())
            --cut;
        decoded.truncate(cut);
        decoded += QChar(0x2026);
    }
    return escapeHtml(decoded);
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
    int pictures = 0;
    for (const Smiley &s : SmileyTable)
        pictures +=
            replaceAtMost(result, QLatin1String(s.pattern), pictureMarkup(s.image), MaxPicturesPerMessage - pictures);
    return result.trimmed();
}

QString viewMarkup(const QString &markup)
{
    // Generous for any markup this program writes: escaped text is at most 8 times as long as
    // what it shows, links twice; a header line comes on top of the message.
    const int longestMarkup = MaxShownCharacters * 16;
    const int mostShown = MaxShownCharacters + 1024;
    QString result;
    result.reserve(qMin(markup.size(), longestMarkup) + markup.size() / MaxUnbrokenRun + 8);
    int pictures = 0;
    int shown = 0;
    int run = 0;
    int at = 0;
    while (at < markup.size()) {
        if (at >= longestMarkup) {
            result += QChar(0x2026);
            break;
        }
        const int end = markup.at(at) == QLatin1Char('<') ? tagEnd(markup, at) : -1;
        if (end > 0) {
            const QStringRef tag = markup.midRef(at, end - at);
            const QString name = tagName(tag);
            const int inside = picturesIn(tag);
            if (inside > 0 && pictures + inside > MaxPicturesPerMessage) {
                const QString text = name == QLatin1String("img") && inside == 1
                    ? smileyText(attributeValue(tag, QLatin1String("src")))
                    : QString();
                result += text;
                shown += text.size();
                run += text.size();
            } else {
                pictures += inside;
                if (name == QLatin1String("br") || name == QLatin1String("p") || name == QLatin1String("/p"))
                    run = 0;
                result += tag;
            }
            at = end;
            continue;
        }
        if (shown >= mostShown) {
            result += QChar(0x2026);
            break;
        }
        // A "<" that opens no tag is text.
        const bool strayBracket = markup.at(at) == QLatin1Char('<');
        const int length = strayBracket ? 1 : characterLength(markup, at);
        if (length == 1 && isBreakingSpace(markup.at(at))) {
            run = 0;
        } else if (++run > MaxUnbrokenRun) {
            result += QChar(0x200B);
            run = 1;
        }
        if (strayBracket)
            result += QLatin1String("&lt;");
        else
            result += markup.midRef(at, length);
        ++shown;
        at += length;
    }
    return result;
}

QString escapeName(const QString &text)
{
    return text.toHtmlEscaped();
}

} // namespace MessageFormat
