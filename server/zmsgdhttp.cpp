#include "zmsgdhttp.h"

#include <zmsgfwwire.h>

#include <QList>
#include <QUrl>

namespace ZmsgdHttp {

namespace {
// A request target is printable ASCII; anything else (a NUL or a line break among them) is no
// path of this site.
bool isPrintableTarget(const QByteArray &target)
{
    for (const char c : target) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7f)
            return false;
    }
    return true;
}

bool isRequestLine(const QByteArray &line)
{
    const QList<QByteArray> words = line.trimmed().split(' ');
    return words.size() == 3 && !words.at(0).isEmpty() && words.at(2).startsWith("HTTP/1.");
}
} // namespace

ParseStatus parse(const QByteArray &buffer, Request *request, int *consumed)
{
    const int headEnd = buffer.indexOf("\r\n\r\n");
    const int bareEnd = buffer.indexOf("\n\n");
    int end = -1;
    int separator = 0;
    if (headEnd >= 0 && (bareEnd < 0 || headEnd < bareEnd)) {
        end = headEnd;
        separator = 4;
    } else if (bareEnd >= 0) {
        end = bareEnd;
        separator = 2;
    }
    if (end < 0) {
        // A first line that cannot start a request needs no wait for the rest.
        const int firstEnd = buffer.indexOf('\n');
        if (firstEnd >= 0 && !isRequestLine(buffer.left(firstEnd)))
            return ParseStatus::Invalid;
        return buffer.size() > MaxHeadLength ? ParseStatus::TooLarge : ParseStatus::Incomplete;
    }
    if (end > MaxHeadLength)
        return ParseStatus::TooLarge;
    const QList<QByteArray> lines = buffer.left(end).split('\n');
    if (!isRequestLine(lines.first()))
        return ParseStatus::Invalid;
    const QList<QByteArray> requestLine = lines.first().trimmed().split(' ');
    Request parsed;
    parsed.method = requestLine.at(0);
    const QByteArray target = requestLine.at(1);
    if (!target.startsWith('/') || !isPrintableTarget(target))
        return ParseStatus::Invalid;
    const int question = target.indexOf('?');
    parsed.path = question >= 0 ? target.left(question) : target;
    parsed.query = question >= 0 ? target.mid(question + 1) : QByteArray();
    for (int i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines.at(i).trimmed();
        const int colon = line.indexOf(':');
        if (colon <= 0)
            return ParseStatus::Invalid;
        parsed.headers.insert(line.left(colon).trimmed().toLower(), line.mid(colon + 1).trimmed());
    }
    int bodyLength = 0;
    if (parsed.headers.contains("content-length")) {
        bool ok = false;
        bodyLength = parsed.headers.value("content-length").toInt(&ok);
        if (!ok || bodyLength < 0)
            return ParseStatus::Invalid;
        if (bodyLength > MaxBodyLength)
            return ParseStatus::TooLarge;
    } else if (parsed.headers.contains("transfer-encoding")) {
        return ParseStatus::Invalid;
    }
    const int bodyStart = end + separator;
    if (buffer.size() < bodyStart + bodyLength)
        return ParseStatus::Incomplete;
    parsed.body = buffer.mid(bodyStart, bodyLength);
    if (consumed)
        *consumed = bodyStart + bodyLength;
    *request = parsed;
    return ParseStatus::Complete;
}

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 408:
        return "Request Timeout";
    case 409:
        return "Conflict";
    case 413:
        return "Payload Too Large";
    default:
        return "Internal Server Error";
    }
}

QByteArray refusal(ParseStatus status)
{
    switch (status) {
    case ParseStatus::Invalid:
        return response(400, "text/plain; charset=utf-8", "bad request\n");
    case ParseStatus::TooLarge:
        return response(413, "text/plain; charset=utf-8", "request too large\n");
    case ParseStatus::Incomplete:
    case ParseStatus::Complete:
        break;
    }
    return QByteArray();
}

QByteArray response(int status, const QByteArray &contentType, const QByteArray &body, bool headOnly)
{
    QByteArray out = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonPhrase(status) + "\r\n";
    out += "Content-Type: " + contentType + "\r\n";
    out += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    out += "Cache-Control: no-store\r\n";
    out += "X-Content-Type-Options: nosniff\r\n";
    out += "Connection: close\r\n\r\n";
    if (!headOnly)
        out += body;
    return out;
}

QHash<QString, QString> decodeForm(const QByteArray &data, bool plusIsSpace)
{
    QHash<QString, QString> values;
    const QList<QByteArray> pairs = data.split('&');
    for (const QByteArray &pair : pairs) {
        if (pair.isEmpty())
            continue;
        const int equals = pair.indexOf('=');
        QByteArray key = equals >= 0 ? pair.left(equals) : pair;
        QByteArray value = equals >= 0 ? pair.mid(equals + 1) : QByteArray();
        if (plusIsSpace) {
            key.replace('+', ' ');
            value.replace('+', ' ');
        }
        values.insert(ZMsgFwWire::decodeUtf8(QByteArray::fromPercentEncoding(key)),
                      ZMsgFwWire::decodeUtf8(QByteArray::fromPercentEncoding(value)));
    }
    return values;
}

QString decodePath(const QByteArray &path)
{
    return ZMsgFwWire::decodeUtf8(QByteArray::fromPercentEncoding(path));
}

} // namespace ZmsgdHttp
