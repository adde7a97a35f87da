#ifndef REGISTRATION_H
#define REGISTRATION_H

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QUrl>

#include "HttpFetch.h"

// Addresses and captcha of the web site's account registration.
namespace Registration {

// The web site host: the environment variable ZM_WEB_HOST, else the compiled-in value.
QString webHost();
QUrl registerFormUrl();
QUrl captchaUrl(const QString &code);
// The first ten hexadecimal digits of the SHA-1 of the time text, joined by "+".
QString captchaCode(const QDateTime &time);
// The code for a new captcha at time now. Codes change with the clock's second and the site
// takes each code once: when now gives the spent code, the next second's code is used.
QString freshCaptchaCode(const QDateTime &now, const QString &spentCode);
// A captcha is a small picture: a larger answer or picture is refused.
constexpr int MaxCaptchaBytes = 1024 * 1024;
constexpr int MaxCaptchaSide = 1000;
// What is read of the site's answer to a registration.
constexpr int MaxAnswerBytes = 256 * 1024;

// The captcha body when it is a PNG, JPEG or GIF within MaxCaptchaSide, else empty: the
// label decodes what it is given.
QByteArray captchaPicture(const QByteArray &body);
// Fetches the captcha picture of a code from the site, blocking for at most timeoutMs;
// empty when none came or it was refused.
QByteArray fetchCaptcha(const QString &code, int timeoutMs);
// Rich text that shows the picture inline.
QString captchaHtml(const QByteArray &picture);

struct Form {
    QString userName;
    QString nickName;
    QString realName;
    QString mail;
    QString password;
    QString repeatedPassword;
    QString captchaCode;
    QString captchaAnswer;
};
// The form body the site's registration address takes (application/x-www-form-urlencoded).
QByteArray formBody(const Form &form);
// The site's answer to a registration: its own error line when it gives one, else empty.
QString answerMessage(const QByteArray &html);

enum class Outcome {
    Created, // the site confirmed the new account
    Refused, // the site said why not; the captcha is spent
    Unconfirmed, // the site answered without saying either
    Unreachable, // no answer from the site at all
};
struct Answer {
    Outcome outcome = Outcome::Unreachable;
    QString message; // the site's own words when it refused
    int status = 0; // HTTP status, 0 without one
};
// Reads a registration answer: only the site's confirmation page (a 2xx page headed "Account
// created", without the site's error line) counts as created, whatever the status line says.
Answer judgeAnswer(const HttpFetch::Result &fetched);

// Fetches the captcha picture for the code; empty when the site has none or cannot be reached.
QByteArray fetchCaptcha(const QString &code, int timeoutMs);
// Posts the form to the site's registration address and reads the answer, in a local event
// loop.
Answer submit(const Form &form, int timeoutMs);

} // namespace Registration

#endif
