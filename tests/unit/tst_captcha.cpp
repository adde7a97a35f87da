#include "hermetic.h"

#include <zmsgdcaptcha.h>

#include <QHash>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <array>

namespace {

// What a simple program does to read a captcha: ink is whatever is dark, the characters
// stand in equal cells at fixed places, and each cell is compared with one template per
// character, learnt from pictures whose answers are known.
class TemplateReader
{
public:
    static constexpr int Columns = 8;
    static constexpr int Rows = 12;
    static constexpr int Margin = 12;
    using Features = std::array<double, Columns * Rows>;

    void learn(const QImage &picture, const QString &answer)
    {
        for (int i = 0; i < answer.size(); ++i) {
            const Features cell = features(picture, i, answer.size());
            Features &sum = m_sums[answer.at(i)];
            for (std::size_t k = 0; k < cell.size(); ++k)
                sum[k] += cell[k];
            ++m_counts[answer.at(i)];
        }
    }

    QString read(const QImage &picture, int length) const
    {
        QString text;
        for (int i = 0; i < length; ++i) {
            const Features cell = features(picture, i, length);
            QChar best;
            double bestDistance = 0;
            for (auto it = m_sums.constBegin(); it != m_sums.constEnd(); ++it) {
                const int count = m_counts.value(it.key());
                double distance = 0;
                for (std::size_t k = 0; k < cell.size(); ++k) {
                    const double difference = cell[k] - it.value()[k] / count;
                    distance += difference * difference;
                }
                if (best.isNull() || distance < bestDistance) {
                    best = it.key();
                    bestDistance = distance;
                }
            }
            text += best;
        }
        return text;
    }

private:
    static Features features(const QImage &picture, int index, int length)
    {
        const double cellWidth = double(picture.width() - 2 * Margin) / length;
        const double left = Margin + index * cellWidth;
        Features result{};
        for (int y = 0; y < picture.height(); ++y) {
            for (int x = int(left); x < int(left + cellWidth); ++x) {
                if (qGray(picture.pixel(x, y)) >= 110)
                    continue;
                const int column = qMin(Columns - 1, int((x - left) * Columns / cellWidth));
                const int row = qMin(Rows - 1, y * Rows / picture.height());
                result[row * Columns + column] += 1.0;
            }
        }
        return result;
    }

    QHash<QChar, Features> m_sums;
    QHash<QChar, int> m_counts;
};

QString randomAnswer(QRandomGenerator &random)
{
    const QByteArray alphabet(ZmsgdCaptcha::Alphabet);
    QString text;
    for (int i = 0; i < ZmsgdCaptcha::AnswerLength; ++i)
        text += QLatin1Char(alphabet.at(random.bounded(alphabet.size())));
    return text;
}

// The same characters drawn plainly: black strokes of one width in the middle of each cell.
QImage plainPicture(const QString &text)
{
    QImage image(ZmsgdCaptcha::Width, ZmsgdCaptcha::Height, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const double cell = double(image.width() - 2 * TemplateReader::Margin) / text.size();
    for (int i = 0; i < text.size(); ++i) {
        QTransform transform;
        transform.translate(TemplateReader::Margin + (i + 0.5) * cell - 9, 12);
        transform.scale(18, 36);
        QPainterPath path;
        for (const QPolygonF &stroke : ZmsgdCaptcha::glyph(text.at(i)))
            path.addPolygon(stroke);
        painter.strokePath(transform.map(path), QPen(Qt::black, 3, Qt::SolidLine, Qt::RoundCap));
    }
    return image;
}

} // namespace

class TestCaptcha : public QObject
{
    Q_OBJECT
private slots:
    void everyCharacterHasStrokes();
    void answersChangeWithTheWindow();
    void templateReaderReadsPlainText();
    void templateReaderFailsOnPictures();
};

void TestCaptcha::everyCharacterHasStrokes()
{
    for (const char *c = ZmsgdCaptcha::Alphabet; *c; ++c)
        QVERIFY2(!ZmsgdCaptcha::glyph(QLatin1Char(*c)).isEmpty(), c);
    const QString answer = ZmsgdCaptcha::answer("secret", QStringLiteral("code"), 1000);
    QCOMPARE(answer.size(), ZmsgdCaptcha::AnswerLength);
    for (const QChar c : answer)
        QVERIFY(QByteArray(ZmsgdCaptcha::Alphabet).contains(char(c.unicode())));
}

void TestCaptcha::answersChangeWithTheWindow()
{
    const QByteArray secret = ZmsgdCaptcha::newSecret();
    const QString code = QStringLiteral("a+b+c");
    const qint64 start = 1700000000 - 1700000000 % ZmsgdCaptcha::WindowSecs;
    const QString answer = ZmsgdCaptcha::answer(secret, code, start);
    QCOMPARE(ZmsgdCaptcha::answer(secret, code, start + ZmsgdCaptcha::WindowSecs - 1), answer);
    QVERIFY(ZmsgdCaptcha::answer(secret, code, start + ZmsgdCaptcha::WindowSecs) != answer);
    QVERIFY(ZmsgdCaptcha::check(secret, code, answer, start));
    QVERIFY(ZmsgdCaptcha::check(secret, code, answer.toLower(), start));
    // A picture fetched just before the window turned is still answered after.
    QVERIFY(ZmsgdCaptcha::check(secret, code, answer, start + ZmsgdCaptcha::WindowSecs + 5));
    QVERIFY(!ZmsgdCaptcha::check(secret, code, answer, start + 2 * ZmsgdCaptcha::WindowSecs));
    QCOMPARE(ZmsgdCaptcha::picture(secret, code, start), ZmsgdCaptcha::picture(secret, code, start + 60));
    QVERIFY(ZmsgdCaptcha::picture(secret, code, start)
            != ZmsgdCaptcha::picture(secret, code + QLatin1Char('d'), start));
}

void TestCaptcha::templateReaderReadsPlainText()
{
    // The reader is no straw man: the same characters drawn plainly it reads nearly always.
    QRandomGenerator random(7);
    TemplateReader reader;
    for (int i = 0; i < 100; ++i) {
        const QString answer = randomAnswer(random);
        reader.learn(plainPicture(answer), answer);
    }
    int read = 0;
    for (int i = 0; i < 50; ++i) {
        const QString answer = randomAnswer(random);
        read += reader.read(plainPicture(answer), answer.size()) == answer ? 1 : 0;
    }
    QVERIFY2(read >= 48, qPrintable(QString::number(read)));
}

void TestCaptcha::templateReaderFailsOnPictures()
{
    // A fixed secret: the same pictures in every run.
    const QByteArray secret("a secret of this test");
    const qint64 now = 1700000000;
    TemplateReader reader;
    for (int i = 0; i < 300; ++i) {
        const QString code = QStringLiteral("learn%1").arg(i);
        reader.learn(QImage::fromData(ZmsgdCaptcha::picture(secret, code, now), "PNG"),
                     ZmsgdCaptcha::answer(secret, code, now));
    }
    int wholeAnswers = 0;
    int characters = 0;
    const int pictures = 100;
    for (int i = 0; i < pictures; ++i) {
        const QString code = QStringLiteral("read%1").arg(i);
        const QImage picture = QImage::fromData(ZmsgdCaptcha::picture(secret, code, now), "PNG");
        QCOMPARE(picture.size(), QSize(ZmsgdCaptcha::Width, ZmsgdCaptcha::Height));
        const QString answer = ZmsgdCaptcha::answer(secret, code, now);
        const QString guess = reader.read(picture, answer.size());
        wholeAnswers += guess == answer ? 1 : 0;
        for (int k = 0; k < answer.size(); ++k)
            characters += guess.at(k) == answer.at(k) ? 1 : 0;
    }
    qInfo("template reader: %d of %d answers, %d of %d characters", wholeAnswers, pictures, characters,
          pictures * ZmsgdCaptcha::AnswerLength);
    // Whole answers are what counts; fewer than half of the characters make them rare anyway.
    QVERIFY2(wholeAnswers <= 2, qPrintable(QString::number(wholeAnswers)));
    QVERIFY2(characters * 100 < pictures * ZmsgdCaptcha::AnswerLength * 45, qPrintable(QString::number(characters)));
}

ZM_HERMETIC_GUILESS_TEST_MAIN(TestCaptcha)
#include "tst_captcha.moc"
