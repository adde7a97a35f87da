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
            settings.setValue("Nick/anna", storedNick);
        if (customNick != QLatin1String("-"))
            settings.setValue("CustomNick/anna", customNick);
    }
    ContactBook book;
    if (!serverNick.isEmpty())
        book.nicks.insert("anna", serverNick);
    QCOMPARE(book.displayName("anna"), shown);
}

void TestContactBook::customNickSetAndReset()
{
    ContactBook book;
    book.nicks.insert("anna", "Anna");
    QVERIFY(!book.hasCustomNick("anna"));
    book.setCustomNick("anna", "  Sis ");
    QVERIFY(book.hasCustomNick("anna"));
    QCOMPARE(book.displayName("anna"), QString("Sis"));
    book.settings().sync();
    QCOMPARE(AppSettings::open().value("CustomNick/anna").toString(), QString("Sis"));
    book.setCustomNick("anna", " ");
    QVERIFY(!book.hasCustomNick("anna"));
    QCOMPARE(book.displayName("anna"), QString("Anna"));
}

void TestContactBook::nickWrittenOnlyWhenChanged()
{
    ContactBook book;
    QVERIFY(book.storeNick("anna", "Anna"));
    QVERIFY(!book.storeNick("anna", "Anna"));
    QVERIFY(book.storeNick("anna", "Anna B."));
    QVERIFY(!book.storeNick("  ", "nobody"));
    book.settings().sync();
    QCOMPARE(AppSettings::open().value("Nick/anna").toString(), QString("Anna B."));

    // Written past the book: the book looks again instead of trusting what it remembered.
    book.settings().setValue("Nick/anna", "Other");
    QVERIFY(!book.storeNick("anna", "Anna B."));
    book.forgetStoredNick("anna");
    QVERIFY(book.storeNick("anna", "Anna B."));

    ContactBook later;
    QVERIFY(!later.storeNick("anna", "Anna B."));
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
    const QVector<ContactBook::Change> first = book.refresh("anna|Anna|hi|1\n");
    QCOMPARE(first.size(), 1);
    QVERIFY(first.at(0).textChanged);
    QVERIFY(first.at(0).stateChanged);
    QCOMPARE(book.contactAvatars.value("anna", "absent"), QString());

    const QVector<ContactBook::Change> changes = book.refresh(second + "\n");
    QCOMPARE(changes.size(), 1);
    QCOMPARE(changes.at(0).user, QString("anna"));
    QCOMPARE(changes.at(0).textChanged, textChanged);
    QCOMPARE(changes.at(0).stateChanged, stateChanged);
    const QStringList fields = second.split('|');
    QCOMPARE(book.nicks.value("anna"), fields.at(1));
    QCOMPARE(book.statusMessages.value("anna"), fields.at(2));
    QCOMPARE(book.states.value("anna"), fields.at(3).toInt());
    QVERIFY(!book.stateIcons.value("anna").isEmpty());
}

void TestContactBook::refreshSkipsRefusedEntries()
{
    ContactBook book;
    const QVector<ContactBook::Change> changes = book.refresh("anna|Anna\n |blank|x|1\nbob|Bob||5\n\r\n");
    QCOMPARE(changes.size(), 1);
    QCOMPARE(changes.at(0).user, QString("bob"));
    QCOMPARE(book.nicks.keys(), QStringList{"bob"});
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
    book.nicks.insert("anna", "Anna B");
    book.setCustomNick("anna", "Sister");
    QCOMPARE(book.matchesSearch("anna", search), shown);
}

void TestContactBook::friendRequests()
{
    ContactBook book;
    book.setFriendRequests("zed\n \nbob\n");
    QCOMPARE(book.friendRequests, QStringList({"zed", "bob"}));
    book.updateFriendRequests("anna", QString());
    QCOMPARE(book.friendRequests, QStringList({"anna", "bob", "zed"}));
    book.updateFriendRequests(QString(), "bob");
    QCOMPARE(book.friendRequests, QStringList({"anna", "zed"}));
    book.clear();
    QVERIFY(book.friendRequests.isEmpty());
}

void TestContactBook::rowTextDecodesStatus()
{
    QCOMPARE(ContactBook::rowText("Anna", "a &amp; b"), QString("Anna\na & b"));
}

ZM_HERMETIC_GUILESS_TEST_MAIN(TestContactBook)
#include "tst_contactbook.moc"
