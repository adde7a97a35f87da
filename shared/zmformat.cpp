#include "zmformat.h"

namespace ZmFormat {

namespace {

const QString LegacyPrefix = QStringLiteral("SEND /");
const QString LegacySuffix = QStringLiteral(" ZM/1.0");

} // namespace

bool hasLineBreak(const QString &value)
{
    return value.contains(QLatin1Char('\n')) || value.contains(QLatin1Char('\r'));
}

const QString ProfileEntrySeparator = QStringLiteral("&nxve;");
const QString ProfileKeySeparator = QStringLiteral("&splt;");
const QString ProfileRecordSeparator = QStringLiteral("&acln;");
const QString ProfileFieldSeparator = QStringLiteral("&aclt;");
const QString ProfileNameSeparator = QStringLiteral("&sxlt;");

QString withoutProfileSeparators(const QString &value)
{
    const QString separators[] = {ProfileEntrySeparator, ProfileKeySeparator, ProfileRecordSeparator,
                                  ProfileFieldSeparator, ProfileNameSeparator};
    QString cleaned = value;
    bool changed = true;
    while (changed) {
        changed = false;
        for (const QString &separator : separators) {
            if (cleaned.contains(separator)) {
                cleaned.remove(separator);
                changed = true;
            }
        }
    }
    return cleaned;
}

QByteArray legacyRequest(const QString &command, const LegacyHeaders &headers)
{
    if (hasLineBreak(command))
        return QByteArray();
    QString request = LegacyPrefix + command + LegacySuffix + QLatin1Char('\n');
    for (const auto &header : headers) {
        if (hasLineBreak(header.first) || hasLineBreak(header.second))
            return QByteArray();
        request += header.first + QStringLiteral(": ") + header.second + QLatin1Char('\n');
    }
    return request.toUtf8();
}

bool isLegacyCommandLine(const QString &line)
{
    return line.startsWith(LegacyPrefix) && line.endsWith(LegacySuffix)
        && line.size() > LegacyPrefix.size() + LegacySuffix.size();
}

QString legacyCommand(const QString &line)
{
    if (!isLegacyCommandLine(line))
        return QString();
    return line.mid(LegacyPrefix.size(), line.size() - LegacyPrefix.size() - LegacySuffix.size());
}

bool splitLegacyHeader(const QString &line, QString *name, QString *value)
{
    const int colon = line.indexOf(QLatin1String(": "));
    if (colon > 0) {
        *name = line.left(colon);
        *value = line.mid(colon + 2);
        return true;
    }
    if (line.size() > 1 && line.endsWith(QLatin1Char(':'))) {
        *name = line.left(line.size() - 1);
        value->clear();
        return true;
    }
    return false;
}

QByteArray legacyStatusLine(int code, const QByteArray &reason)
{
    return "ZM/1.0 " + QByteArray::number(code) + ' ' + reason + '\n';
}

int legacyStatusCode(const QString &statusLine)
{
    if (statusLine.endsWith(QLatin1String("200 OK")))
        return 200;
    const QStringList words = statusLine.split(QLatin1Char(' '));
    return words.size() < 2 ? 502 : words.at(1).toInt();
}

} // namespace ZmFormat
