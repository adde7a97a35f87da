#include "HttpFetch.h"

#include <QDebug>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QTimer>

#include <memory>

namespace HttpFetch {

namespace {
const char TooLargeProperty[] = "zmTooLarge";
}

void prepare(QNetworkRequest *request)
{
    request->setRawHeader("Accept-Encoding", "identity");
}

void limit(QNetworkReply *reply, qint64 maxBytes)
{
    auto check = [reply, maxBytes]() {
        if (reply->property(TooLargeProperty).toBool())
            return;
        const QVariant announced = reply->header(QNetworkRequest::ContentLengthHeader);
        if ((announced.isValid() && announced.toLongLong() > maxBytes) || reply->bytesAvailable() > maxBytes) {
            qWarning() << "Refused an answer of more than" << maxBytes << "bytes from" << reply->url().toString();
            reply->setProperty(TooLargeProperty, true);
            reply->abort();
        }
    };
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, check);
    QObject::connect(reply, &QNetworkReply::readyRead, reply, check);
}

bool tooLarge(const QNetworkReply *reply)
{
    return reply->property(TooLargeProperty).toBool();
}

Result wait(QNetworkReply *reply, qint64 maxBytes, int timeoutMs)
{
    limit(reply, maxBytes);
    QEventLoop loop;
    QTimer timeout;
    timeout.setSingleShot(true);
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QObject::connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
    timeout.start(timeoutMs);
    if (!reply->isFinished())
        loop.exec();

    Result result;
    result.finished = reply->isFinished();
    result.tooLarge = tooLarge(reply);
    result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    result.error = reply->error();
    if (!result.tooLarge)
        result.body = reply->read(maxBytes);
    return result;
}

namespace {

Result waitAndEnd(std::unique_ptr<QNetworkReply> reply, qint64 maxBytes, int timeoutMs)
{
    const Result result = wait(reply.get(), maxBytes, timeoutMs);
    reply->abort();
    return result;
}

} // namespace

Result get(QNetworkRequest request, qint64 maxBytes, int timeoutMs)
{
    prepare(&request);
    QNetworkAccessManager manager;
    return waitAndEnd(std::unique_ptr<QNetworkReply>(manager.get(request)), maxBytes, timeoutMs);
}

Result post(QNetworkRequest request, const QByteArray &body, qint64 maxBytes, int timeoutMs)
{
    prepare(&request);
    QNetworkAccessManager manager;
    return waitAndEnd(std::unique_ptr<QNetworkReply>(manager.post(request, body)), maxBytes, timeoutMs);
}

} // namespace HttpFetch
