// Message rendering with pictures: whatever a contact sends, or a history file holds, the
// chat view gets a bounded number of pictures, markup whose size grows linearly with the
// text, and no long run without a break opportunity.
#include "MessageFormat.h"
#include "fuzzsupport.h"

#include <QRegularExpression>

using namespace MessageFormat;

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    FuzzSupport::installQuietHandler();
    return 0;
}

// Picture elements as Qt's parser takes them: the name "img" in any case, nothing after it.
static int pictures(const QString &markup)
{
    static const QRegularExpression element(QStringLiteral("<img(?![a-z0-9])"),
                                            QRegularExpression::CaseInsensitiveOption);
    int count = 0;
    for (QRegularExpressionMatchIterator it = element.globalMatch(markup); it.hasNext(); it.next())
        ++count;
    return count;
}

// The longest stretch of text between line breaks and blanks, entities counted as one, tags
// (whose quoted values may hold "<" and ">", as Qt reads them) not counted.
static int longestRun(const QString &markup)
{
    int longest = 0;
    int run = 0;
    for (int i = 0; i < markup.size(); ++i) {
        const QChar c = markup.at(i);
        if (c == QLatin1Char('<')) {
            int end = i + 1;
            QChar quote;
            for (; end < markup.size(); ++end) {
                const QChar t = markup.at(end);
                if (!quote.isNull())
                    quote = t == quote ? QChar() : quote;
                else if (t == QLatin1Char('"') || t == QLatin1Char('\''))
                    quote = t;
                else if (t == QLatin1Char('>'))
                    break;
            }
            if (end < markup.size()) {
                if (markup.midRef(i, end - i + 1) == QLatin1String("<br>"))
                    run = 0;
                i = end;
                continue;
            }
        }
        if (c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QChar(0x200B)) {
            run = 0;
            continue;
        }
        if (c == QLatin1Char('&')) {
            const int end = markup.indexOf(QLatin1Char(';'), i);
            if (end > i && end - i <= 10)
                i = end;
        } else if (c.isHighSurrogate() && i + 1 < markup.size() && markup.at(i + 1).isLowSurrogate()) {
            ++i;
        }
        longest = qMax(longest, ++run);
    }
    return longest;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(FuzzSupport::bytes(data, size));

    // A received message and a typed one.
    const QString safe = sanitizeReceived(text);
    for (const QString &escaped : {safe, escapeHtml(text)}) {
        const QString formatted = formatMessage(escaped);
        FUZZ_CHECK(pictures(formatted) <= MaxPicturesPerMessage);
        FUZZ_CHECK(formatted.size() <= 4 * escaped.size() + 40 * MaxPicturesPerMessage + 64);
        const QString shown = viewMarkup(formatted);
        FUZZ_CHECK(pictures(shown) <= MaxPicturesPerMessage);
        FUZZ_CHECK(shown.size() <= formatted.size() + formatted.size() / MaxUnbrokenRun + 1);
        FUZZ_CHECK(longestRun(shown) <= MaxUnbrokenRun);
        // The view only adds break opportunities to what it takes whole.
        if (shown.size() == formatted.size() + shown.count(QChar(0x200B)) - formatted.count(QChar(0x200B))
            && !shown.endsWith(QChar(0x2026)))
            FUZZ_CHECK(QString(shown).remove(QChar(0x200B)) == QString(formatted).remove(QChar(0x200B)));
    }

    // Markup from a history file, written by anyone.
    const QString stored = viewMarkup(text);
    FUZZ_CHECK(pictures(stored) <= MaxPicturesPerMessage);
    FUZZ_CHECK(stored.size() <= 4 * text.size() + 8);

    FUZZ_CHECK(decodeEntitiesStart(text, 64) == decodeEntities(text).left(64));
    return 0;
}
