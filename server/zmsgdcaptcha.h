#ifndef ZMSGDCAPTCHA_H
#define ZMSGDCAPTCHA_H

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QPolygonF>
#include <QString>

// Captcha pictures for the registration page. The answer to a code is derived from the
// code, a server secret and the time window the picture was made in, so any code a client
// makes up has one answer per window and nothing has to be remembered between the picture
// and the registration. The picture is drawn with strokes, needing no fonts, in shapes, inks,
// positions and distortions that vary with every code, under noise in the same inks.
namespace ZmsgdCaptcha {

constexpr int AnswerLength = 6;
constexpr int MaxCodeLength = 64;
constexpr int Width = 180;
constexpr int Height = 60;
// A picture shows the answer of its window; answers of the current and the previous window are taken.
constexpr qint64 WindowSecs = 30 * 60;
// Letters and digits that stay apart when distorted; answers are read without regard to case.
extern const char Alphabet[];

bool isValidCode(const QString &code);
QString answer(const QByteArray &secret, const QString &code, qint64 now = QDateTime::currentSecsSinceEpoch());
// A PNG showing the answer for the window of now (seconds since the epoch).
QByteArray picture(const QByteArray &secret, const QString &code, qint64 now);
bool check(const QByteArray &secret, const QString &code, const QString &given, qint64 now);
// A code used before this time can no longer be answered: its record may go.
qint64 forgetUsedBefore(qint64 now);
// The strokes of a character of the alphabet in the unit square (y downwards); empty for others.
QList<QPolygonF> glyph(QChar character);
QByteArray newSecret();
QString newCode();

} // namespace ZmsgdCaptcha

#endif
