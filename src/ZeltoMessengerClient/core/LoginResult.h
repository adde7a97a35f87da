#ifndef LOGINRESULT_H
#define LOGINRESULT_H

// What the result code of a login means to the login page.
namespace LoginResult {

enum class Meaning {
    LoggedIn, // 200
    UnknownAccount, // 404: wrong name or password
    Throttled, // 429: the server holds back further guesses for a while
    NoServer, // 500: no usable answer; an automatic login goes offline instead
    Other, // any other code: the login page stays as it is, without a word
};

Meaning meaning(int result);

} // namespace LoginResult

#endif
