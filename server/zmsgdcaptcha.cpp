#include "zmsgdcaptcha.h"

#include <QBuffer>
#include <QHash>
#include <QImage>
#include <QMessageAuthenticationCode>
#include <QPainter>
#include <QPainterPath>
#include <QRandomGenerator>
#include <QtEndian>
#include <QtMath>

namespace ZmsgdCaptcha {

const char Alphabet[] = "ACEHJKMNPRWY37";

namespace {

constexpr int AlphabetSize = int(sizeof(Alphabet)) - 1;
// Drawn at twice the size and reduced at the end, which smooths every edge.
constexpr int Scale = 2;

qint64 windowOf(qint64 now)
{
    return now / WindowSecs;
}

QByteArray digest(const QByteArray &secret, const QString &code, qint64 window, const char *purpose)
{
    const QByteArray message = QByteArray(purpose) + '|' + QByteArray::number(window) + '|' + code.toUtf8();
    return QMessageAuthenticationCode::hash(message, secret, QCryptographicHash::Sha256);
}

QString answerOfWindow(const QByteArray &secret, const QString &code, qint64 window)
{
    const QByteArray bytes = digest(secret, code, window, "answer");
    QString text;
    for (int i = 0; i < AnswerLength; ++i) {
        const quint16 value = qFromBigEndian<quint16>(bytes.constData() + 2 * i);
        text += QLatin1Char(Alphabet[value % AlphabetSize]);
    }
    return text;
}

using Strokes = QList<QPolygonF>;

// Strokes in hundredths of the unit square: points "x y" joined by ",", strokes by "/".
Strokes parseStrokes(const char *text)
{
    Strokes strokes;
    for (const QString &stroke : QString::fromLatin1(text).split(QLatin1Char('/'))) {
        QPolygonF polygon;
        for (const QString &point : stroke.split(QLatin1Char(','))) {
            const QStringList xy = point.split(QLatin1Char(' '));
            polygon << QPointF(xy.at(0).toDouble() / 100, xy.at(1).toDouble() / 100);
        }
        strokes << polygon;
    }
    return strokes;
}

const QHash<QChar, Strokes> &font()
{
    static const QHash<QChar, Strokes> glyphs = [] {
        const struct {
            char character;
            const char *strokes;
        } table[] = {
            {'A', "0 100,50 0,100 100/22 62,78 62"},
            {'C', "95 15,65 0,32 2,8 22,0 50,8 78,32 98,65 100,95 85"},
            {'E', "100 0,0 0,0 100,100 100/0 50,70 50"},
            {'H', "0 0,0 100/100 0,100 100/0 50,100 50"},
            {'J', "30 0,100 0/75 0,75 75,60 97,35 100,12 90,3 70"},
            {'K', "0 0,0 100/100 0,0 60/30 42,100 100"},
            {'M', "0 100,0 0,50 60,100 0,100 100"},
            {'N', "0 100,0 0,100 100,100 0"},
            {'P', "0 100,0 0,70 0,95 12,100 27,95 42,70 54,0 54"},
            {'R', "0 100,0 0,70 0,95 12,100 27,95 42,70 54,0 54/45 54,100 100"},
            {'W', "0 0,22 100,50 35,78 100,100 0"},
            {'Y', "0 0,50 50,100 0/50 50,50 100"},
            {'3', "5 10,30 0,70 0,95 14,95 34,70 47,35 47/70 47,100 62,100 85,75 100,30 100,0 88"},
            {'7', "0 0,100 0,35 100"},
        };
        QHash<QChar, Strokes> parsed;
        for (const auto &entry : table)
            parsed.insert(QLatin1Char(entry.character), parseStrokes(entry.strokes));
        return parsed;
    }();
    return glyphs;
}

class Dice
{
public:
    explicit Dice(const QByteArray &seed)
    {
        quint32 words[8];
        for (int i = 0; i < 8; ++i)
            words[i] = qFromBigEndian<quint32>(seed.constData() + 4 * i);
        m_random = QRandomGenerator(words, 8);
    }
    double between(double low, double high) { return low + (high - low) * m_random.generateDouble(); }
    int below(int bound) { return int(m_random.bounded(bound)); }
    bool chance(double probability) { return m_random.generateDouble() < probability; }
    QColor ink() { return QColor::fromHsv(below(360), below(106) + 150, below(60) + 30); }
    QColor thread() { return QColor::fromHsv(below(360), below(106) + 150, below(70) + 60); }
    QColor paper(int alpha = 255) { return QColor::fromHsv(below(360), below(50) + 10, below(26) + 225, alpha); }

private:
    QRandomGenerator m_random;
};

QPainterPath wavyLine(Dice &dice, qreal width, qreal height)
{
    QPainterPath path(QPointF(dice.between(-10, width * 0.2), dice.between(0, height)));
    path.cubicTo(QPointF(dice.between(0, width), dice.between(-height * 0.3, height * 1.3)),
                 QPointF(dice.between(0, width), dice.between(-height * 0.3, height * 1.3)),
                 QPointF(dice.between(width * 0.8, width + 10), dice.between(0, height)));
    return path;
}

// A polyline with every corner rounded off through the middles of its sides.
QPainterPath rounded(const QPolygonF &points)
{
    QPainterPath path(points.first());
    if (points.size() < 3) {
        path.lineTo(points.last());
        return path;
    }
    for (int i = 1; i + 1 < points.size(); ++i)
        path.quadTo(points.at(i), (points.at(i) + points.at(i + 1)) / 2);
    path.lineTo(points.last());
    return path;
}

void drawGlyph(QPainter *painter, Dice &dice, QChar character, const QRectF &box, const QColor &background)
{
    QTransform transform;
    transform.translate(box.center().x(), box.center().y());
    transform.rotate(dice.between(-12, 12));
    transform.shear(dice.between(-0.2, 0.2), 0);
    transform.scale(box.width(), box.height());
    transform.translate(-0.5, -0.5);
    const bool smooth = dice.chance(0.5);
    QPainterPath path;
    for (QPolygonF stroke : glyph(character)) {
        for (QPointF &point : stroke)
            point += QPointF(dice.between(-0.05, 0.05), dice.between(-0.05, 0.05));
        if (smooth)
            path.addPath(rounded(stroke));
        else
            path.addPolygon(stroke);
    }
    path = transform.map(path);
    const QColor ink = dice.ink();
    const qreal pen = dice.between(2.4, 3.6) * Scale;
    if (dice.chance(0.2)) {
        // Hollow: an outline of the stroke instead of the stroke.
        painter->strokePath(path, QPen(ink, pen + 2.2 * Scale, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter->strokePath(path, QPen(background, pen * 0.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    } else {
        painter->strokePath(path, QPen(ink, pen, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    }
}

// Sizes, gaps and the start of the line vary, so no character has a place of its own.
QList<QRectF> layout(Dice &dice, int count, qreal width, qreal height)
{
    QList<QRectF> boxes;
    qreal x = 0;
    for (int i = 0; i < count; ++i) {
        const qreal glyphHeight = dice.between(0.48, 0.62) * height;
        const qreal glyphWidth = glyphHeight * dice.between(0.5, 0.72);
        const qreal top = (height - glyphHeight) / 2 + dice.between(-0.12, 0.12) * height;
        boxes << QRectF(x, top, glyphWidth, glyphHeight);
        x += glyphWidth + dice.between(0.02, 0.3) * glyphHeight;
    }
    const qreal used = boxes.last().right();
    const qreal room = width - 16.0 * Scale;
    const qreal shrink = used > room ? room / used : 1.0;
    const qreal start = 8.0 * Scale + dice.between(0, qMax<qreal>(0, room - used * shrink));
    for (QRectF &box : boxes)
        box = QRectF(start + box.x() * shrink, box.y(), box.width() * shrink, box.height());
    return boxes;
}

QRgb sample(const QImage &image, qreal x, qreal y, QRgb outside)
{
    const int x0 = qFloor(x);
    const int y0 = qFloor(y);
    if (x0 < 0 || y0 < 0 || x0 + 1 >= image.width() || y0 + 1 >= image.height())
        return outside;
    const qreal fx = x - x0;
    const qreal fy = y - y0;
    const QRgb corners[4] = {image.pixel(x0, y0), image.pixel(x0 + 1, y0), image.pixel(x0, y0 + 1),
                             image.pixel(x0 + 1, y0 + 1)};
    const qreal weights[4] = {(1 - fx) * (1 - fy), fx * (1 - fy), (1 - fx) * fy, fx * fy};
    qreal r = 0, g = 0, b = 0;
    for (int i = 0; i < 4; ++i) {
        r += weights[i] * qRed(corners[i]);
        g += weights[i] * qGreen(corners[i]);
        b += weights[i] * qBlue(corners[i]);
    }
    return qRgb(qRound(r), qRound(g), qRound(b));
}

// Moves every pixel along two crossing waves, bending the characters and the lines alike.
QImage warped(const QImage &image, Dice &dice, QRgb background)
{
    const qreal ampX = dice.between(2, 3.5) * Scale;
    const qreal periodX = dice.between(30, 50) * Scale;
    const qreal phaseX = dice.between(0, 2 * M_PI);
    const qreal ampY = dice.between(2.5, 4) * Scale;
    const qreal periodY = dice.between(50, 100) * Scale;
    const qreal phaseY = dice.between(0, 2 * M_PI);
    QImage out(image.size(), QImage::Format_RGB32);
    for (int y = 0; y < out.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            const qreal sx = x + ampX * qSin(2 * M_PI * y / periodX + phaseX);
            const qreal sy = y + ampY * qSin(2 * M_PI * x / periodY + phaseY);
            line[x] = sample(image, sx, sy, background);
        }
    }
    return out;
}

QImage render(const QString &text, Dice &dice)
{
    const int width = Width * Scale;
    const int height = Height * Scale;
    const QColor background = dice.paper();
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(background);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        for (int i = 0; i < 12; ++i) {
            painter.setBrush(dice.paper(150));
            painter.drawEllipse(QPointF(dice.between(0, width), dice.between(0, height)), dice.between(10, 45) * Scale,
                                dice.between(8, 30) * Scale);
        }
        painter.setBrush(Qt::NoBrush);
        // Threads in inks like the characters' but finer: a reader cannot drop them by colour.
        for (int i = 0; i < 2; ++i)
            painter.strokePath(wavyLine(dice, width, height), QPen(dice.thread(), dice.between(0.7, 1.1) * Scale));
        const QList<QRectF> boxes = layout(dice, text.size(), width, height);
        for (int i = 0; i < text.size(); ++i)
            drawGlyph(&painter, dice, text.at(i), boxes.at(i), background);
        painter.strokePath(wavyLine(dice, width, height), QPen(dice.thread(), dice.between(0.7, 1.1) * Scale));
    }
    QImage small =
        warped(image, dice, background.rgb()).scaled(Width, Height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    // Speckles in ink and paper colours.
    for (int i = 0; i < 200; ++i) {
        const QColor colour = dice.chance(0.5) ? dice.ink() : dice.paper();
        small.setPixel(dice.below(Width), dice.below(Height), colour.rgb());
    }
    return small;
}

} // namespace

bool isValidCode(const QString &code)
{
    return !code.isEmpty() && code.size() <= MaxCodeLength;
}

QString answer(const QByteArray &secret, const QString &code, qint64 now)
{
    return answerOfWindow(secret, code, windowOf(now));
}

bool check(const QByteArray &secret, const QString &code, const QString &given, qint64 now)
{
    if (!isValidCode(code))
        return false;
    const QString typed = given.trimmed().toUpper();
    const qint64 window = windowOf(now);
    return typed == answerOfWindow(secret, code, window) || typed == answerOfWindow(secret, code, window - 1);
}

qint64 forgetUsedBefore(qint64 now)
{
    // A code used in window w was answered for w or w - 1; from window w + 2 on neither is taken.
    return now - 2 * WindowSecs;
}

QList<QPolygonF> glyph(QChar character)
{
    return font().value(character.toUpper());
}

QByteArray picture(const QByteArray &secret, const QString &code, qint64 now)
{
    const qint64 window = windowOf(now);
    Dice dice(digest(secret, code, window, "picture"));
    const QImage image = render(answerOfWindow(secret, code, window), dice);
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
