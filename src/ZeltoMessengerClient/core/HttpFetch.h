#ifndef HTTPFETCH_H
#define HTTPFETCH_H

#include <QByteArray>
#include <QNetworkReply>

class QNetworkRequest;

// HTTP answers read within bounds: the body is asked for without content encoding (a
// compressed body would be inflated without limit before anyone could look at it) and the
// reply is aborted as soon as it announces or delivers more than a limit.
namespace HttpFetch {

// Asks for the body as stored ("Accept-Encoding: identity").
void prepare(QNetworkRequest *request);
// Aborts the reply once it announces or holds more than maxBytes; true from then on in
// tooLarge().
void limit(QNetworkReply *reply, qint64 maxBytes);
bool tooLarge(const QNetworkReply *reply);

struct Result {
    bool finished = false; // the reply ended in time (successfully or not)
    bool tooLarge = false; // aborted for its size; body is empty then
    int status = 0; // HTTP status code, 0 without one
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    QByteArray body; // what arrived, at most the limit
};

// Limits the reply and runs a local event loop until it finished, was aborted or timeoutMs
// passed; after a timeout the body is what arrived so far.
Result wait(QNetworkReply *reply, qint64 maxBytes, int timeoutMs);

// One blocking exchange on a network manager of its own: the request is prepared, the answer
// bounded as in wait(), and the reply ended before the call returns. The calling thread runs
// a local event loop meanwhile (QThread::quit() on a worker ends it early).
Result get(QNetworkRequest request, qint64 maxBytes, int timeoutMs);
Result post(QNetworkRequest request, const QByteArray &body, qint64 maxBytes, int timeoutMs);

} // namespace HttpFetch

#endif
