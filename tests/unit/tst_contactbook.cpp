#include "AppSettings.h"
#include "ContactBook.h"
#include "hermetic.h"

#include <QSettings>
#include <QtTest>

// The contact tables and their rules, over the real settings store of a temporary home.
class TestContactBook : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void displayName_data();
    void displayName();
    void customNickSetAndReset();
    void nickWrittenOnlyWhenChanged();
    void refreshDiff_data();
    void refreshDiff();
    void refreshSkipsRefusedEntries();
    void search_data();
    void search();
    void friendRequests();
    void rowTextDecodesStatus();
};

void TestContactBook::init()
{
    QSettings settings = AppSettings::open();
    settings.clear();
    settings.sync();
}

void TestContactBook::displayName_data()
{
    QTest::addColumn<QString>("serverNick"); // in the table
    QTest::addColumn<QString>("storedNick"); // "Nick/" key, "-" for absent
    QTest::addColumn<QString>("customNick"); // "CustomNick/" key, "-" for absent
    QTest::addColumn<QString>("shown");
    QTest::newRow("account name only") << ""
                                       << "-"
                                       << "-"
                                       << "anna";
    QTest::newRow("server nick") << "Anna A."
                                 << "-"
                                 << "-"
                                 << "Anna A.";
    QTest::newRow("stored nick wins over table") << "Anna A."
                                                 << "Annie"
                                                 << "-"
                                                 << "Annie";
    QTest::newRow("custom nick wins") << "Anna A."
                                      << "Annie"
                                      << "Sis"
                                      << "Sis";
    QTest::newRow("blank stored nick gives account name") << "Anna A."
                                                          << "  "
                                                          << "-"
                                                          << "anna";
    QTest::newRow("blank custom nick ignored") << "Anna A."
                                               << "-"
                                               << " "
                                               << "Anna A.";
}

void TestContactBook::displayName()
{
    QFETCH(QString, serverNick);
    QFETCH(QString, storedNick);
    QFETCH(QString, customNick);
    QFETCH(QString, shown);
    {
        QSettings settings = AppSettings::open();
        if (storedNick != QLatin1String("-"))
            settings.setValue(QStringLiteral("Nick/anna"), storedNick);
        if (customNick != QLatin1String("-"))
            settings.setValue(QStringLiteral("CustomNick/anna"), customNick);
    }
    ContactBook book;
    if (!serverNick.isEmpty())
        book.nicks.insert(QStringLiteral("anna"), serverNick);
    QCOMPARE(book.displayName(QStringLiteral("anna")), shown);
}

void TestContactBook::customNickSetAndReset()
{
    ContactBook book;
    book.nicks.insert(QStringLiteral("anna"), QStringLiteral("Anna"));
    QVERIFY(!book.hasCustomNick(QStringLiteral("anna")));
    book.setCustomNick(QStringLiteral("anna"), QStringLiteral("  Sis "));
    QVERIFY(book.hasCustomNick(QStringLiteral("anna")));
    QCOMPARE(book.displayName(QStringLiteral("anna")), QStringLiteral("Sis"));
    book.settings().sync();
    QCOMPARE(AppSettings::open().value(QStringLiteral("CustomNick/anna")).toString(), QStringLiteral("Sis"));
    book.setCustomNick(QStringLiteral("anna"), QStringLiteral(" "));
    QVERIFY(!book.hasCustomNick(QStringLiteral("anna")));
    QCOMPARE(book.displayName(QStringLiteral("anna")), QStringLiteral("Anna"));
}

void TestContactBook::nickWrittenOnlyWhenChanged()
{
    ContactBook book;
    QVERIFY(book.storeNick(QStringLiteral("anna"), QStringLiteral("Anna")));
    QVERIFY(!book.storeNick(QStringLiteral("anna"), QStringLiteral("Anna")));
    QVERIFY(book.storeNick(QStringLiteral("anna"), QStringLiteral("Anna B.")));
    QVERIFY(!book.storeNick(QStringLiteral("  "), QStringLiteral("nobody")));
    book.settings().sync();
    QCOMPARE(AppSettings::open().value(QStringLiteral("Nick/anna")).toString(), QStringLiteral("Anna B."));

    // Written past the book: the book looks again instead of trusting what it remembered.
    book.settings().setValue(QStringLiteral("Nick/anna"), QStringLiteral("Other"));
    QVERIFY(!book.storeNick(QStringLiteral("anna"), QStringLiteral("Anna B.")));
    book.forgetStoredNick(QStringLiteral("anna"));
    QVERIFY(book.storeNick(QStringLiteral("anna"), QStringLiteral("Anna B.")));

    ContactBook later;
    QVERIFY(!later.storeNick(QStringLiteral("anna"), QStringLiteral("Anna B.")));
}

void TestContactBook::refreshDiff_data()
{
    QTest::addColumn<QString>("second");
    QTest::addColumn<bool>("textChanged");
    QTest::addColumn<bool>("stateChanged");
    QTest::newRow("unchanged") << "anna|Anna|hi|1" << false << false;
    QTest::newRow("state") << "anna|Anna|hi|2" << false << true;
    QTest::newRow("nick") << "anna|Annie|hi|1" << true << false;
    QTest::newRow("status") << "anna|Anna|bye|1" << true << false;
    QTest::newRow("all") << "anna|Annie|bye|3" << true << true;
}

void TestContactBook::refreshDiff()
{
    QFETCH(QString, second);
    QFETCH(bool, textChanged);
    QFETCH(bool, stateChanged);
    ContactBook book;
    const QVector<ContactBook::Change> first = book.refresh(QStringLiteral("anna|Anna|hi|1\n"));
    QCOMPARE(first.size(), 1);
    QVERIFY(first.at(0).textChanged);
    QVERIFY(first.at(0).stateChanged);
    QCOMPARE(book.contactAvatars.value(QStringLiteral("anna"), QStringLiteral("absent")), QString());

    const QVector<ContactBook::Change> changes = book.refresh(second + QStringLiteral("\n"));
    QCOMPARE(changes.size(), 1);
    QCOMPARE(changes.at(0).user, QStringLiteral("anna"));
    QCOMPARE(changes.at(0).textChanged, textChanged);
    QCOMPARE(changes.at(0).stateChanged, stateChanged);
    const QStringList fields = second.split(QLatin1Char('|'));
    QCOMPARE(book.nicks.value(QStringLiteral("anna")), fields.at(1));
    QCOMPARE(book.statusMessages.value(QStringLiteral("anna")), fields.at(2));
    QCOMPARE(book.states.value(QStringLiteral("anna")), fields.at(3).toInt());
    QVERIFY(!book.stateIcons.value(QStringLiteral("anna")).isEmpty());
}

void TestContactBook::refreshSkipsRefusedEntries()
{
    ContactBook book;
    const QVector<ContactBook::Change> changes =
        book.refresh(QStringLiteral("anna|Anna\n |blank|x|1\nbob|Bob||5\n\r\n"));
    QCOMPARE(changes.size(), 1);
    QCOMPARE(changes.at(0).user, QStringLiteral("bob"));
    QCOMPARE(book.nicks.keys(), QStringList{QStringLiteral("bob")});
}

void TestContactBook::search_data()
{
    QTest::addColumn<QString>("search");
    QTest::addColumn<bool>("shown");
    QTest::newRow("empty") << "" << true;
    QTest::newRow("account start") << "an" << true;
    QTest::newRow("any case") << "ANN" << true;
    QTest::newRow("display name start") << "sis" << true;
    QTest::newRow("server nick no longer shown") << "Anna B" << false;
    QTest::newRow("middle") << "nna" << false;
}

void TestContactBook::search()
{
    QFETCH(QString, search);
    QFETCH(bool, shown);
    ContactBook book;
    book.nicks.insert(QStringLiteral("anna"), QStringLiteral("Anna B"));
    book.setCustomNick(QStringLiteral("anna"), QStringLiteral("Sister"));
    QCOMPARE(book.matchesSearch(QStringLiteral("anna"), search), shown);
}

void TestContactBook::friendRequests()
{
    ContactBook book;
    book.setFriendRequests(QStringLiteral("zed\n \nbob\n"));
    QCOMPARE(book.friendRequests, QStringList({QStringLiteral("zed"), QStringLiteral("bob")}));
    book.updateFriendRequests(QStringLiteral("anna"), QString());
    QCOMPARE(book.friendRequests, QStringList({QStringLiteral("anna"), QStringLiteral("bob"), QStringLiteral("zed")}));
    book.updateFriendRequests(QString(), QStringLiteral("bob"));
    QCOMPARE(book.friendRequests, QStringList({QStringLiteral("anna"), QStringLiteral("zed")}));
    book.clear();
    QVERIFY(book.friendRequests.isEmpty());
}

void TestContactBook::rowTextDecodesStatus()
{
    QCOMPARE(ContactBook::rowText(QStringLiteral("Anna"), QStringLiteral("a &amp; b")), QStringLiteral("Anna\na & b"));
}

ZM_HERMETIC_GUILESS_TEST_MAIN(TestContactBook)
#include "tst_contactbook.moc"
