#ifndef ZMSGDCAPTCHA_H
#define ZMSGDCAPTCHA_H

#include <QByteArray>
#include <QString>

// Captcha pictures for the registration page. The answer to a code is derived from the
// code and a server secret, so any code a client makes up has exactly one answer and
// nothing has to be remembered between the picture and the registration.
namespace ZmsgdCaptcha {

constexpr int AnswerLength = 6;
constexpr int MaxCodeLength = 64;

bool isValidCode(const QString &code);
QString answer(const QByteArray &secret, const QString &code);
// A PNG showing the answer, drawn with strokes so it needs no fonts.
QByteArray picture(const QByteArray &secret, const QString &code);
bool check(const QByteArray &secret, const QString &code, const QString &given);
QByteArray newSecret();
QString newCode();

} // namespace ZmsgdCaptcha

#endif
