#include "zmsgdlog.h"

#include <QDateTime>

#include <atomic>
#include <cstdio>

namespace ZmsgdLog {

namespace {
std::atomic_bool enabledFlag{true};

bool needsEscape(char16_t c)
{
    return c < 0x20 || (c >= 0x7f && c <= 0x9f) || c == 0x2028 || c == 0x2029 || (c >= 0x202a && c <= 0x202e)
        || (c >= 0x2066 && c <= 0x2069);
}
} // namespace

void setEnabled(bool enabled)
{
    enabledFlag = enabled;
}

bool isEnabled()
{
    return enabledFlag;
}

QString escaped(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar qc : text) {
        const char16_t c = qc.unicode();
        if (c == u'\\')
            out += QLatin1String("\\\\");
        else if (c == u'\n')
            out += QLatin1String("\\n");
        else if (c == u'\r')
            out += QLatin1String("\\r");
        else if (c == u'\t')
            out += QLatin1String("\\t");
        else if (c <= 0xff && needsEscape(c))
            out += QStringLiteral("\\x%1").arg(int(c), 2, 16, QLatin1Char('0'));
        else if (needsEscape(c))
            out += QStringLiteral("\\u{%1}").arg(int(c), 4, 16, QLatin1Char('0'));
        else
            out += qc;
    }
    return out;
}

void event(const QString &text)
{
    if (!enabledFlag)
        return;
    const QByteArray line =
        QDateTime::currentDateTime().toString(Qt::ISODate).toUtf8() + " zmsgd: " + escaped(text).toUtf8() + '\n';
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
    std::fflush(stderr);
}

} // namespace ZmsgdLog
