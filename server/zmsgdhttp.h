#ifndef ZMSGDHTTP_H
#define ZMSGDHTTP_H

#include <QByteArray>
#include <QHash>
#include <QString>

// The small part of HTTP/1.x the avatar and web listeners need. Pure functions.
namespace ZmsgdHttp {

struct Request {
    QByteArray method;
    QByteArray path; // percent-encoded, as sent
    QByteArray query; // without the "?"
    QHash<QByteArray, QByteArray> headers; // names in lower case
    QByteArray body;
};

enum class ParseStatus { Incomplete, Complete, Invalid, TooLarge };

constexpr int MaxHeadLength = 16 * 1024;
constexpr int MaxBodyLength = 64 * 1024;

// Parses one request from the start of buffer; *consumed tells its length when complete.
ParseStatus parse(const QByteArray &buffer, Request *request, int *consumed = nullptr);
// A complete response that closes the connection.
QByteArray response(int status, const QByteArray &contentType, const QByteArray &body, bool headOnly = false);
QByteArray reasonPhrase(int status);
// The answer to a request that parse refused (Invalid, TooLarge); empty for the other outcomes.
QByteArray refusal(ParseStatus status);
// Decodes "a=1&b=2" form data; "+" means a space in form bodies but is kept in queries,
// where a literal "+" is part of a captcha code.
QHash<QString, QString> decodeForm(const QByteArray &data, bool plusIsSpace);
// Percent-decoded as UTF-8; an encoded NUL stays a character of the path (which then names nothing).
QString decodePath(const QByteArray &path);

} // namespace ZmsgdHttp

#endif
