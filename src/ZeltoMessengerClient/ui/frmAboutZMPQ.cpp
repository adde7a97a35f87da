#include "frmAboutZMPQ.h"

#include "AccountLink.h"
#include "DialogSupport.h"
#include "ui_frmAboutZMPQ.h"

#include <zguifw.h>

#include <QCoreApplication>
#include <QFile>

namespace {

#if defined(__clang__)
const char *const Toolchain = "Clang " __clang_version__;
#elif defined(__GNUC__)
const char *const Toolchain = "GCC " __VERSION__;
#else
const char *const Toolchain = "an unknown compiler";
#endif

const QString AddContactLink = QStringLiteral("zmp://addcontact/");

} // namespace

frmAboutZMPQ::frmAboutZMPQ(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::frmAboutZMPQ)
{
    ui->setupUi(this);
    DialogSupport::setupFixedDialog(this, 300, 300);
    ui->txtAbout->setHtml(
        tr("<b>Zelto Messenger</b> by Zelto, Version %1<br/>%2")
            .arg(QCoreApplication::applicationVersion(), tr("<p>An instant messenger for your desktop.</p>")));
    QFile creditsFile(QStringLiteral(":/gui/credits.html"));
    if (creditsFile.open(QIODevice::ReadOnly))
        credits = QString::fromUtf8(creditsFile.readAll());
}

frmAboutZMPQ::~frmAboutZMPQ()
{
    delete ui;
}

QString frmAboutZMPQ::buildText(const QString &classVersion, const QString &libraryVersion, const QString &credits,
                                const QString &hostName)
{
    // Only the build line has placeholders: the other parts (credits above all) are taken as
    // they are, a "%1" in them included.
    const QString build = tr("Built on %1 at %2 with %4<br/>Running with Qt %5 on %6")
                              .arg(QStringLiteral(__DATE__), QStringLiteral(__TIME__),
                                   QStringLiteral("Qt " QT_VERSION_STR ", ") + QLatin1String(Toolchain),
                                   QString::fromLatin1(qVersion()), hostName.toHtmlEscaped());
    return QStringLiteral("<span style=\"font-weight: bold;\">") + tr("Version") + QStringLiteral("</span><br/>")
        + QStringLiteral("Zelto Messenger") + QStringLiteral(" Client ") + QCoreApplication::applicationVersion()
        + QStringLiteral("<br/>") + QStringLiteral("Zelto Messenger Fw ") + classVersion + QStringLiteral("<br/>")
        + QStringLiteral("Zelto Gui Fw ") + libraryVersion
        + QStringLiteral("<br/><br/><span style=\"font-weight: bold;\">") + tr("Build") + QStringLiteral("</span><br/>")
        + build + QStringLiteral("<br/><br/>") + credits + QStringLiteral("<span style=\"font-weight: bold;\">")
        + tr("Info") + QStringLiteral("</span><br/>")
        + tr("<p>Zelto Messenger keeps you in touch with your contacts: it shows who is online, carries your "
             "messages, keeps a history of every conversation and announces what happens while you work.</p>");
}

void frmAboutZMPQ::setBuildText()
{
    ZGuiFw *guiFw = new ZGuiFw(parent());
    const QString libraryVersion = guiFw->getLibraryVersion();
    delete guiFw;
    const QString classVersion = login ? login->getClassVersion() : QString();
    const QString hostName = login ? login->hostName() : QString();
    ui->txtAbout->setHtml(buildText(classVersion, libraryVersion, credits, hostName));
}

void frmAboutZMPQ::on_bbOK_clicked(QAbstractButton *button)
{
    if (ui->bbOK->buttonRole(button) == QDialogButtonBox::AcceptRole)
        close();
}

void frmAboutZMPQ::on_txtAbout_sourceChanged(QUrl url)
{
    const QString link = url.toString();
    if (link.left(AddContactLink.size()) != AddContactLink || !login)
        return;
    login->addContactByName(link.mid(AddContactLink.size()), this);
}
