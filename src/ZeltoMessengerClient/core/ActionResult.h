#ifndef ACTIONRESULT_H
#define ACTIONRESULT_H

#include <QString>

// What the result code of a change sent to the server (name, status message, password, ...)
// means to the user, beyond its number.
namespace ActionResult {

enum class Kind {
    Done, // 200
    NotSent, // 501: no connection, nothing went out
    NoAnswer, // 500 and 601: sent, but its answer did not come
    Refused, // 400: the server does not take the value
    TooMany, // 429: too many changes in a short time
    Other // any other code of the server's
};

Kind classify(int code);

// One sentence for the user; for a refused value it names the rule the value broke when
// valueRule is given.
QString explanation(int code, const QString &valueRule = QString());

} // namespace ActionResult

#endif
