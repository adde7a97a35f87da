#include "zmsgdcaptcha.h"

#include <QBuffer>
#include <QImage>
#include <QMessageAuthenticationCode>
#include <QPainter>
#include <QRandomGenerator>

namespace ZmsgdCaptcha {

namespace {

QByteArray digest(const QByteArray &secret, const QString &code)
{
    return QMessageAuthenticationCode::hash(code.toUtf8(), secret, QCryptographicHash::Sha256);
}

// Seven segments: top, top right, bottom right, bottom, bottom left, top left, middle.
constexpr unsigned char DigitSegments[10] = {0x3f, 0x06, 0x5b, 0x4f, 0x66, 0x6d, 0x7d, 0x07, 0x7f, 0x6f};

void drawDigit(QPainter *painter, int digit, const QPointF &origin, qreal width, qreal height, qreal slant)
{
    const QPointF topLeft = origin + QPointF(slant, 0);
    const QPointF topRight = origin + QPointF(width + slant, 0);
    const QPointF middleLeft = origin + QPointF(slant / 2, height / 2);
    const QPointF middleRight = origin + QPointF(width + slant / 2, height / 2);
    const QPointF bottomLeft = origin + QPointF(0, height);
    const QPointF bottomRight = origin + QPointF(width, height);
    const QLineF segments[7] = {
        {topLeft, topRight},       {topRight, middleRight},  {middleRight, bottomRight}, {bottomLeft, bottomRight},
        {middleLeft, bottomLeft},  {topLeft, middleLeft},    {middleLeft, middleRight},
    };
    for (int i = 0; i < 7; ++i) {
        if (DigitSegments[digit] & (1 << i))
            painter->drawLine(segments[i]);
    }
}

} // namespace

bool isValidCode(const QString &code)
{
    return !code.isEmpty() && code.size() <= MaxCodeLength;
}

QString answer(const QByteArray &secret, const QString &code)
{
    const QByteArray bytes = digest(secret, code);
    QString text;
    for (int i = 0; i < AnswerLength; ++i)
        text += QChar(QLatin1Char('0' + static_cast<unsigned char>(bytes.at(i)) % 10));
    return text;
}

bool check(const QByteArray &secret, const QString &code, const QString &given)
{
    return isValidCode(code) && given.trimmed() == answer(secret, code);
}

QByteArray picture(const QByteArray &secret, const QString &code)
{
    const QByteArray bytes = digest(secret, code);
    const QString text = answer(secret, code);
    QImage image(180, 60, QImage::Format_RGB32);
    image.fill(QColor(245, 245, 235));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    // Noise lines from the digest's tail, the digits from its head: same code, same picture.
    for (int i = 0; i < 6; ++i) {
        const auto at = [&bytes](int index) { return static_cast<unsigned char>(bytes.at(index % bytes.size())); };
        painter.setPen(QPen(QColor(at(8 + i) % 160 + 60, at(14 + i) % 160 + 60, at(20 + i) % 160 + 60), 1.5));
        painter.drawLine(QPointF(0, at(8 + i) % 60), QPointF(180, at(16 + i) % 60));
    }
    painter.setPen(QPen(QColor(30, 40, 110), 4, Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i < text.size(); ++i) {
        const auto jitter = static_cast<unsigned char>(bytes.at(AnswerLength + i));
        const QPointF origin(14 + i * 27 + jitter % 5, 12 + jitter % 9);
        drawDigit(&painter, text.at(i).digitValue(), origin, 14, 30, (jitter % 7) - 3);
    }
    painter.end();
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

QByteArray newSecret()
{
    QByteArray secret(32, Qt::Uninitialized);
    for (int i = 0; i < secret.size(); ++i)
        secret[i] = static_cast<char>(QRandomGenerator::system()->bounded(256));
    return secret;
}

QString newCode()
{
    return QString::fromLatin1(newSecret().left(8).toHex());
}

} // namespace ZmsgdCaptcha
