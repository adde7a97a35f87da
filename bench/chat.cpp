// Chat window costs: opening with long histories (time to shown, resident memory), appending
// one message at each length (including the history write), rendering 1,000 received
// messages with smileys and links, and the longest time the GUI thread stays blocked by the
// worst messages a contact or a hostile server can send, received and reopened.
#include "ChatHistory.h"
#include "ChatLink.h"
#include "DataDirectory.h"
#include "benchsupport.h"
#include "frmChat.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTextStream>

namespace {

class BenchOwner : public ChatLink
{
public:
    bool isOnline() override { return true; }
    int sendMessage(const QString &, const QString &) override { return 200; }
    QImage contactAvatarImage(const QString &) override { return QImage(); }
    QString stateName(int) override { return QStringLiteral("Online"); }
    void chatWindowClosed(const QString &, frmChat *) override {}
};

void writeHistory(const QString &user, int count)
{
    QByteArray all;
    all.reserve(count * 200);
    for (int i = 1; i <= count; ++i) {
        const bool block = i % 5 == 1;
        const QString markup = (block ? QStringLiteral("<span style=\"color: blue\">Contact</span><br>") : QString())
            + QStringLiteral("<span>message number %1 with a little text <img src=':/img/friendly.png'/> "
                             "<a href=\"http://example.org/%1\">http://example.org/%1</a></span>")
                  .arg(i);
        all += ChatHistory::appendBlock(i, markup, QStringLiteral("She/He"), block);
    }
    QDir().mkpath(DataDirectory::path());
    QFile file(ChatHistory(user).fileName());
    file.open(QIODevice::WriteOnly);
    file.write(all);
}

double lastSetupMs = 0;

int historyBlocks(frmChat *chat)
{
    return chat->findChild<QTextBrowser *>(QStringLiteral("tbChat"))->document()->blockCount();
}

frmChat *openChat(BenchOwner *owner, const QString &user)
{
    QElapsedTimer clock;
    clock.start();
    auto *chat = new frmChat;
    QTextStream(stderr) << "  constructor: " << double(clock.nsecsElapsed()) / 1e6 << " ms" << Qt::endl;
    chat->setOwner(owner);
    chat->setInfo(user, QStringLiteral("Contact"), QString(), QStringLiteral("Me"),
                  QStringLiteral(":/img/online-t2x64.png"), 1, QString(), true);
    lastSetupMs = double(clock.nsecsElapsed()) / 1e6;
    chat->show();
    if (!QTest::qWaitForWindowExposed(chat, 5000))
        QTextStream(stderr) << "chat window not exposed" << Qt::endl;
    return chat;
}

struct WorstMessage {
    QString name;
    QString text;
};

QList<WorstMessage> worstMessages()
{
    return {
        {QStringLiteral("8192 smileys (32768 characters, the largest message the server takes)"),
         QStringLiteral(" :) ").repeated(8192)},
        {QStringLiteral("32768 characters of one word"), QString(32768, QLatin1Char('x'))},
        {QStringLiteral("32768 characters of links"), QStringLiteral("http://a.b ").repeated(32768 / 11)},
        {QStringLiteral("32768 characters of CJK text"), QString(32768, QChar(0x4E2D))},
        {QStringLiteral("16 MiB line of smileys from a hostile server"), QStringLiteral(" :) ").repeated(4 << 20)},
        {QStringLiteral("16 MiB line of words from a hostile server"),
         QStringLiteral("word ").repeated((16 << 20) / 5)},
    };
}

// The worst messages: received into an open chat, then shown again from the history.
void measureWorstMessages(BenchOwner *owner)
{
    for (const WorstMessage &worst : worstMessages()) {
        const QString user = QStringLiteral("worst%1").arg(qHash(worst.name));
        frmChat *chat = openChat(owner, user);
        chat->resize(400, 500);
        const double received = Bench::longestBlockMs([&] { chat->receiveMessage(worst.text); });
        Bench::figure(QStringLiteral("Longest GUI block receiving %1").arg(worst.name), received, QStringLiteral("ms"),
                      QStringLiteral("<= 100 ms"), received <= 100);
        delete chat;
        frmChat *reopened = nullptr;
        const double opened = Bench::longestBlockMs([&] { reopened = openChat(owner, user); });
        Bench::figure(QStringLiteral("Longest GUI block reopening the chat after %1").arg(worst.name), opened,
                      QStringLiteral("ms"), QStringLiteral("<= 100 ms"), opened <= 100);
        delete reopened;
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QTemporaryDir home;
    Bench::useHome(home);
    QApplication app(argc, argv);
    BenchOwner owner;

    // Warm up fonts, styles and pictures so the first measurement is not charged with them.
    writeHistory(QStringLiteral("warmup"), 10);
    delete openChat(&owner, QStringLiteral("warmup"));

    for (const int count : {1001, 10000, 100000}) {
        const QString user = QStringLiteral("contact%1").arg(count);
        writeHistory(user, count);
        QElapsedTimer clock;
        clock.start();
        const int shown =
            ChatHistory(user).load(QStringLiteral("Me"), QStringLiteral("Contact"), QString()).markups.size();
        Bench::figure(QStringLiteral("Read the %1 newest of %2 stored messages").arg(shown).arg(count),
                      double(clock.nsecsElapsed()) / 1e6, QStringLiteral("ms"), QStringLiteral("informative"),
                      shown == qMin(count, 1001));

        const double before = Bench::residentMiB();
        clock.restart();
        frmChat *chat = openChat(&owner, user);
        const double openMs = double(clock.nsecsElapsed()) / 1e6;
        const double grown = Bench::residentMiB() - before;
        QTextStream(stderr) << "  of which creating and filling the window: " << lastSetupMs << " ms" << Qt::endl;
        const double target = count <= 1001 ? 50 : 1000;
        Bench::figure(QStringLiteral("Open chat with %1 stored messages").arg(count), openMs, QStringLiteral("ms"),
                      QStringLiteral("<= %1 ms").arg(target), openMs <= target);
        Bench::figure(QStringLiteral("Resident memory added by a chat with %1 stored messages").arg(count), grown,
                      QStringLiteral("MiB"), QStringLiteral("informative"), true);
        const int shownBlocks = qMin(count, 1001);
        while (historyBlocks(chat) < shownBlocks && clock.elapsed() < 60000)
            QCoreApplication::processEvents();
        const double filledMs = double(clock.nsecsElapsed()) / 1e6;
        Bench::figure(
            QStringLiteral("Whole history in the view after opening a chat with %1 stored messages").arg(count),
            filledMs, QStringLiteral("ms"), QStringLiteral("informative"), historyBlocks(chat) == shownBlocks);
        delete chat;
        chat = nullptr;
        const double opening = Bench::longestBlockMs([&] { chat = openChat(&owner, user); }, 1000);
        Bench::figure(
            QStringLiteral("Longest GUI block while a chat with %1 stored messages opens and fills").arg(count),
            opening, QStringLiteral("ms"), QStringLiteral("<= %1 ms").arg(target), opening <= target);

        constexpr int Appends = 50;
        clock.restart();
        for (int i = 0; i < Appends; ++i)
            chat->receiveMessage(QStringLiteral("one more message :) http://example.org/x"));
        const double appendMs = double(clock.nsecsElapsed()) / 1e6 / Appends;
        Bench::figure(QStringLiteral("Append one message at %1 stored messages").arg(count), appendMs,
                      QStringLiteral("ms"), QStringLiteral("<= 10 ms"), appendMs <= 10);
        delete chat;
    }

    frmChat *chat = openChat(&owner, QStringLiteral("render"));
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < 1000; ++i)
        chat->receiveMessage(
            QStringLiteral("message %1 :) see http://example.org/%1 and ;) or (cry) &amp; more").arg(i));
    QCoreApplication::processEvents();
    const double renderMs = double(clock.nsecsElapsed()) / 1e6;
    Bench::figure(QStringLiteral("Render 1000 received messages with smileys and links"), renderMs,
                  QStringLiteral("ms"), QStringLiteral("informative"), true);
    delete chat;

    measureWorstMessages(&owner);
    return 0;
}
