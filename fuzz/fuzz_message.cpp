// Chat text: the entity escaping messages travel in, and the markup the chat view renders.
#include "MessageFormat.h"
#include "fuzzsupport.h"

#include <QRegularExpression>

using namespace MessageFormat;

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    FuzzSupport::installQuietHandler();
    return 0;
}

// The only markup a rendered message may hold: line breaks, links with a permitted scheme
// whose target cannot leave its quotes, and the smiley pictures from the resources.
static bool onlyPermittedMarkup(const QString &html)
{
    static const QRegularExpression tag(QStringLiteral(
        "\\G(?:[^<]+|<br>|</a>|<a href=\"(?:https?|ftp|mtasa)://[^\"]*\">|<img src=':/img/[a-z]+\\.png'/>)"));
    int at = 0;
    while (at < html.size()) {
        const QRegularExpressionMatch match = tag.match(html, at);
        if (!match.hasMatch() || match.capturedLength() == 0)
            return false;
        at += match.capturedLength();
    }
    return true;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(FuzzSupport::bytes(data, size));

    // What is sent comes back as it was typed, line breaks unified.
    const QString escaped = escapeHtml(text);
    FUZZ_CHECK(decodeEntities(escaped) == FuzzSupport::unifiedLineBreaks(text).toUtf8());
    FUZZ_CHECK(!escaped.contains(QLatin1Char('\n')) && !escaped.contains(QLatin1Char('\r')));

    // Correctly escaped text passes unchanged; anything else is neutralised.
    FUZZ_CHECK(sanitizeReceived(escaped) == escaped);
    const QString safe = sanitizeReceived(text);
    FUZZ_CHECK(sanitizeReceived(safe) == safe);

    FUZZ_CHECK(onlyPermittedMarkup(formatMessage(safe)));
    FUZZ_CHECK(onlyPermittedMarkup(formatMessage(escaped)));

    const QString name = escapeName(text);
    FUZZ_CHECK(!name.contains(QLatin1Char('<')) && !name.contains(QLatin1Char('"')));
    return 0;
}
