#include "AccountLink.h"
#include "ProfilePayload.h"
#include "UiMessage.h"
#include "frmChangePassword.h"
#include "frmContactRequests.h"
#include "frmProfile.h"
#include "frmProfileInfo.h"
#include "hermetic.h"
#include "loopbackzmsgd.h"
#include "sessionlink.h"
#include "windowwatch.h"

#include <zmsgdconfig.h>
#include <zmsgdserver.h>
#include <zmsgdserverthread.h>
#include <zmsgdstore.h>
#include <zmsgfw111q.h>

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>

// The account dialogs against the development server: what one session changes through a
// dialog, the server keeps and a second session sees.
class TestAccountFlow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void changePasswordThenLogIn();
    void answerFriendRequests();
    void profileChangesReachAnotherSession();

private:
    void addAccount(const QString &name, const QString &password);

    QTemporaryDir dir;
    ZmsgdConfig config;
    ZmsgdServerThread server;
    QStringList boxes;
};

void TestAccountFlow::initTestCase()
{
    QVERIFY(dir.isValid());
    config = loopbackZmsgdConfig(dir.filePath(QStringLiteral("zmsgd.sqlite")), false);
    QString error;
    QVERIFY2(server.start(config, &error), qPrintable(error));
    exportZmsgdEndpoint(server);
    UiMessage::setHook([this](QMessageBox::Icon, const QString &title, const QString &text) {
        boxes << title + QStringLiteral(": ") + text;
        return QMessageBox::Ok;
    });
}

void TestAccountFlow::cleanupTestCase()
{
    server.stop();
}

void TestAccountFlow::addAccount(const QString &name, const QString &password)
{
    bool created = false;
    server.runOnServer([&](ZmsgdServer *s) {
        created = s->store()->createAccount(name, password, QString()) == ZmsgdStore::CreateResult::Created;
    });
    QVERIFY2(created, qPrintable(name));
}

void TestAccountFlow::changePasswordThenLogIn()
{
    addAccount(QStringLiteral("hanna"), QStringLiteral("oldpass12"));
    SessionLink hanna;
    QCOMPARE(hanna.session.loginUser(QStringLiteral("hanna"), QStringLiteral("oldpass12")), 200);

    frmChangePassword dialog;
    dialog.setLogin(&hanna);
    dialog.show();
    dialog.findChild<QLineEdit *>(QStringLiteral("txtOldPassword"))->setText(QStringLiteral("wrongpass"));
    dialog.findChild<QLineEdit *>(QStringLiteral("txtNewPassword"))->setText(QStringLiteral("newpass34"));
    dialog.findChild<QLineEdit *>(QStringLiteral("txtRepeatPassword"))->setText(QStringLiteral("newpass34"));
    QVERIFY(clickStandardButton(dialog.findChild<QDialogButtonBox *>(QStringLiteral("bbOptions")),
                                QDialogButtonBox::Apply));
    QCOMPARE(boxes, QStringList({QStringLiteral("Change password: The old password is not correct!")}));
    QVERIFY(dialog.isVisible());

    dialog.findChild<QLineEdit *>(QStringLiteral("txtOldPassword"))->setText(QStringLiteral(" oldpass12 "));
    QVERIFY(clickStandardButton(dialog.findChild<QDialogButtonBox *>(QStringLiteral("bbOptions")),
                                QDialogButtonBox::Apply));
    QCOMPARE(boxes.size(), 1);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(hanna.calls, QStringList({QStringLiteral("password newpass34")}));

    ZMsgFw111Q again;
    QCOMPARE(again.loginUser(QStringLiteral("hanna"), QStringLiteral("oldpass12")), 404);
    QCOMPARE(again.loginUser(QStringLiteral("hanna"), QStringLiteral("newpass34")), 200);
    boxes.clear();
}

void TestAccountFlow::answerFriendRequests()
{
    addAccount(QStringLiteral("alma"), QStringLiteral("almapass1"));
    addAccount(QStringLiteral("bert"), QStringLiteral("bertpass1"));
    addAccount(QStringLiteral("cleo"), QStringLiteral("cleopass1"));
    SessionLink alma;
    ZMsgFw111Q bert;
    ZMsgFw111Q cleo;
    QCOMPARE(bert.loginUser(QStringLiteral("bert"), QStringLiteral("bertpass1")), 200);
    QCOMPARE(cleo.loginUser(QStringLiteral("cleo"), QStringLiteral("cleopass1")), 200);
    QCOMPARE(bert.addUserContact(QStringLiteral("alma")), 200);
    QCOMPARE(cleo.addUserContact(QStringLiteral("alma")), 200);
    QCOMPARE(alma.session.loginUser(QStringLiteral("alma"), QStringLiteral("almapass1")), 200);
    QStringList pending = alma.session.getUserContactsRequests().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    pending.sort();
    QCOMPARE(pending, QStringList({QStringLiteral("bert"), QStringLiteral("cleo")}));

    frmContactRequests dialog;
    dialog.setLogin(&alma);
    dialog.setRequests(pending);
    auto *list = dialog.findChild<QListWidget *>(QStringLiteral("lwRequests"));
    list->setCurrentRow(0);
    QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("cmdAccept")), Qt::LeftButton);
    list->setCurrentRow(0);
    QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("cmdReject")), Qt::LeftButton);
    QCOMPARE(boxes, QStringList());
    QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("labFR"))->text(), QStringLiteral("You have 0 Friend Requests"));
    QCOMPARE(alma.calls,
             QStringList({QStringLiteral("requests + -bert"), QStringLiteral("contact bert"),
                          QStringLiteral("requests + -cleo")}));

    QCOMPARE(alma.session.getUserContactsRequests().split(QLatin1Char('\n'), Qt::SkipEmptyParts), QStringList());
    QVERIFY(alma.session.getUserContacts().split(QLatin1Char('\n')).contains(QStringLiteral("bert")));
    QVERIFY(!alma.session.getUserContacts().split(QLatin1Char('\n')).contains(QStringLiteral("cleo")));
}

void TestAccountFlow::profileChangesReachAnotherSession()
{
    addAccount(QStringLiteral("dora"), QStringLiteral("dorapass1"));
    addAccount(QStringLiteral("emil"), QStringLiteral("emilpass1"));
    SessionLink dora;
    ZMsgFw111Q emil;
    QCOMPARE(dora.session.loginUser(QStringLiteral("dora"), QStringLiteral("dorapass1")), 200);
    QCOMPARE(emil.loginUser(QStringLiteral("emil"), QStringLiteral("emilpass1")), 200);
    QCOMPARE(emil.addUserContact(QStringLiteral("dora")), 200);
    QCOMPARE(dora.session.addUserContact(QStringLiteral("emil")), 200);

    const QString own = dora.session.getUserProfileInfo(QStringLiteral("dora"));
    QVERIFY2(!ProfilePayload::isFailure(own), qPrintable(own));
    const ProfileInfo ownInfo = ProfilePayload::parse(own);
    QVERIFY(!ownInfo.clients.isEmpty());

    frmProfile editor;
    editor.setLogin(&dora);
    editor.setData(QStringLiteral("dora"), QStringLiteral("dora"), dora.session.getUserMessageState(),
                   ownInfo.contacts);
    editor.setClients(ownInfo.clients);
    editor.show();
    editor.findChild<QLineEdit *>(QStringLiteral("txtNick"))->setText(QStringLiteral("Dora D."));
    editor.findChild<QLineEdit *>(QStringLiteral("txtMsgState"))->setText(QStringLiteral("sch\u00f6n <drau\u00dfen>"));
    QVERIFY(clickStandardButton(editor.findChild<QDialogButtonBox *>(QStringLiteral("bbOptions")),
                                QDialogButtonBox::Apply));
    QCOMPARE(boxes, QStringList());
    QVERIFY(!editor.isVisible());
    QCOMPARE(dora.calls, QStringList({QStringLiteral("welcome Dora D.")}));

    QCOMPARE(emil.getAnotherUserNick(QStringLiteral("dora")), QStringLiteral("Dora D."));
    const QString status = emil.getAnotherUserMessageState(QStringLiteral("dora"));
    frmProfileInfo info;
    const ProfileInfo seen = ProfilePayload::parse(emil.getUserProfileInfo(QStringLiteral("dora")));
    info.setName(QStringLiteral("Dora D."));
    info.setStatus(status);
    info.setClients(seen.clients);
    QCOMPARE(info.findChild<QLabel *>(QStringLiteral("labMsgState"))->text(),
             QStringLiteral("Status: <span>sch\u00f6n &lt;drau\u00dfen&gt;</span>"));
    QVERIFY(info.findChild<QPushButton *>(QStringLiteral("cmdShowClients"))->isEnabled());
}

ZM_HERMETIC_TEST_MAIN(TestAccountFlow)
#include "tst_accountflow.moc"
