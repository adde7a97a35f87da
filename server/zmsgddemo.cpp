#include "zmsgddemo.h"

#include "zmsgdformat.h"
#include "zmsgdstore.h"

#include <QBuffer>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QRandomGenerator>

namespace ZmsgdDemo {

namespace {
struct DemoAccount {
    const char *name;
    const char *password;
    const char *nick;
    const char *status;
    const char *signature;
    QColor color;
};

QString randomPassword()
{
    quint32 words[4];
    QRandomGenerator::system()->fillRange(words);
    QString password;
    for (quint32 word : words)
        password += QString::number(word, 36);
    return password;
}
} // namespace

QString botName()
{
    return QStringLiteral("zeltobot");
}

QByteArray avatarPicture(const QColor &color)
{
    QImage image(128, 128, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient background(0, 0, 0, 128);
    background.setColorAt(0, color.lighter(160));
    background.setColorAt(1, color.darker(130));
    painter.fillRect(image.rect(), background);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255, 230));
    painter.drawEllipse(QPointF(64, 50), 26, 26);
    painter.drawChord(QRectF(22, 84, 84, 80), 0, 180 * 16);
    painter.end();
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

bool seed(ZmsgdStore *store, QString *error)
{
    const DemoAccount accounts[] = {
        {"alice", "alice123", "Alice", "Hello, I am Alice", "Gold", QColor(200, 80, 120)},
        {"bob", "bob123", "Bob", "Working from home", "Silver", QColor(60, 120, 200)},
        {"carol", "carol123", "Carol", "Just joined", "Regular", QColor(80, 170, 90)},
        {"zeltobot", nullptr, "Zelto Bot", "I answer every message", "Bronze", QColor(230, 160, 40)},
    };
    for (const DemoAccount &demo : accounts) {
        const QString name = QLatin1String(demo.name);
        if (store->accountExists(name))
            continue;
        const QString password = demo.password ? QLatin1String(demo.password) : randomPassword();
        if (store->createAccount(name, password, QLatin1String(demo.nick), error) != ZmsgdStore::CreateResult::Created)
            return false;
        store->setStatusMessage(name, QLatin1String(demo.status));
        store->setSignature(name, QLatin1String(demo.signature));
        store->setMail(name, name + QStringLiteral("@example.org"), true);
        store->setAvatar(name, ZmsgdFormat::newAvatarId(), avatarPicture(demo.color));
        if (!demo.password)
            store->setBot(name, true);
    }
    // Relations are set up once, so what users changed later is not undone at the next start.
    if (store->metaValue(QStringLiteral("demo_seeded")) == QLatin1String("1"))
        return true;
    const QString bot = botName();
    const QString alice = QStringLiteral("alice");
    const QString bob = QStringLiteral("bob");
    const QStringList pairs[] = {{alice, bob}, {alice, bot}, {bob, bot}, {QStringLiteral("carol"), bot}};
    for (const QStringList &pair : pairs) {
        store->addContact(pair.at(0), pair.at(1));
        store->addContact(pair.at(1), pair.at(0));
    }
    // carol has asked alice; alice finds one friend request waiting.
    if (!store->hasContact(QStringLiteral("alice"), QStringLiteral("carol"))) {
        store->addContact(QStringLiteral("carol"), QStringLiteral("alice"));
        store->addRequest(QStringLiteral("carol"), QStringLiteral("alice"));
    }
    return store->setMetaValue(QStringLiteral("demo_seeded"), QStringLiteral("1"));
}

} // namespace ZmsgdDemo
