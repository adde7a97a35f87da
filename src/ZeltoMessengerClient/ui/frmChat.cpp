#include "frmChat.h"
#include "ui_frmChat.h"

#include "AppSettings.h"
#include "ChatHistory.h"
#include "ChatLink.h"
#include "DataDirectory.h"
#include "MessageFormat.h"

#include <QAbstractTextDocumentLayout>
#include <QCloseEvent>
#include <QCursor>
#include <QDebug>
#include <QDesktopServices>
#include <QFile>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPointer>
#include <QScrollBar>
#include <QSettings>
#include <QStyle>
#include <QStyleFactory>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTimer>

namespace {

const char YouSpeaker[] = "You";
const char ContactSpeaker[] = "She/He";
const char NoticeSpeaker[] = "ZM";
const char NotDeliveredLink[] = "zmp://msgmaybenotdelivered";

// The conversation shows text from other people: it may only ever use the client's own
// compiled-in pictures, never a local file or anything from the network.
class ResourceOnlyDocument : public QTextDocument
{
public:
    using QTextDocument::QTextDocument;

protected:
    QVariant loadResource(int type, const QUrl &name) override
    {
        QString path;
        if (name.scheme() == QLatin1String("qrc"))
            path = QLatin1Char(':') + name.path();
        else if (name.scheme().isEmpty() && name.toString().startsWith(QLatin1String(":/")))
            path = name.toString();
        if (path.isEmpty() || !path.startsWith(QLatin1String(":/")))
            return QVariant();
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return QVariant();
        if (type != ImageResource)
            return file.readAll();
        // Kept decoded: the view asks for a picture each time it measures or paints one.
        const QImage image = QImage::fromData(file.readAll());
        if (image.isNull())
            return QVariant();
        addResource(type, name, image);
        return image;
    }
};

QString geometryKey(const QString &user)
{
    return QStringLiteral("Windows/Chat/") + user;
}

} // namespace

frmChat::frmChat(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::frmChat)
{
    ui->setupUi(this);
    setWindowFlags(windowFlags()
                   ^ (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint | Qt::WindowContextHelpButtonHint));
    setWindowIcon(QIcon(QStringLiteral(":/gui/zm48.png")));
    ui->txtMessageBox->setPlaceholderText(tr("Type message here"));

    auto *document = new ResourceOnlyDocument(ui->tbChat);
    // A read-only view: nothing to undo, and nothing to keep for it.
    document->setUndoRedoEnabled(false);
    ui->tbChat->setDocument(document);
    // A clicked link comes back as sourceChanged (the view itself never follows it) and goes
    // through openLink, which decides what may reach the desktop.
    ui->tbChat->setOpenAutoBrowser(false);
    ui->tbChat->setOpenLinks(true);
    ui->tbChat->setOpenExternalLinks(false);

    refreshStyles();
    buildSmileyPicker();
}

frmChat::~frmChat()
{
    delete ui;
}

void frmChat::refreshStyles()
{
    QStyle *fusion = QStyleFactory::create(QStringLiteral("fusion"));
    if (!fusion)
        return;
    fusion->setParent(this);
    for (QWidget *frame : {static_cast<QWidget *>(ui->frUser), static_cast<QWidget *>(ui->frChat),
                           static_cast<QWidget *>(ui->frBox), static_cast<QWidget *>(ui->frAvatar)})
        frame->setStyle(fusion);
    delete frameStyle;
    frameStyle = fusion;
}

void frmChat::buildSmileyPicker()
{
    picker = new QMenu(this);
    picker->setObjectName(QStringLiteral("smileyPicker"));
    struct Entry {
        const char *text;
        const char *icon;
        void (frmChat::*slot)();
    };
    const Entry entries[] = {
        {"(evil)", ":/img/evil.png", &frmChat::addEvilSmiley},
        {":)", ":/img/friendly.png", &frmChat::addFriendlySmiley},
        {";)", ":/img/wink.png", &frmChat::addWinkSmiley},
        {":D", ":/img/laughting.png", &frmChat::addLaughtingSmiley},
        {":P", ":/img/haha.png", &frmChat::addHahaSmiley},
        {":O", ":/img/surprised.png", &frmChat::addSurprisedSmiley},
        {":|", ":/img/normal.png", &frmChat::addNormalSmiley},
        {":(", ":/img/sad.png", &frmChat::addSadSmiley},
        {"(angry)", ":/img/angry.png", &frmChat::addAngrySmiley},
        {"(cry)", ":/img/cry.png", &frmChat::addCrySmiley},
    };
    for (const Entry &e : entries) {
        QAction *action = picker->addAction(QIcon(QLatin1String(e.icon)), QLatin1String(e.text));
        connect(action, &QAction::triggered, this, e.slot);
    }
}

void frmChat::setStatusMarkup(const QString &markup)
{
    ui->labStatusText->setTextFormat(Qt::RichText);
    ui->labStatusText->setText(markup);
}

void frmChat::setInfo(QString user, QString shownName, QString statusText, QString ownShownName, QString stateIconPath,
                      int state, QString avatarId, bool loadHistory)
{
    setWindowTitle(shownName);
    DataDirectory::ensure();

    givenAvatarId = avatarId;
    if (avatarId != shownAvatarId && owner) {
        const QImage avatar = owner->contactAvatarImage(avatarId);
        if (!avatar.isNull())
            setAvatarImage(avatar);
    }

    contactUserName = user;
    this->contactName = shownName;
    this->ownName = ownShownName;

    if (loadHistory) {
        this->loadHistory();
        QTimer::singleShot(10, this, &frmChat::scrollDown);
        // The older messages follow once the view stands at the bottom.
        QTimer::singleShot(10, this, [this] { showOlderHistory(HistorySlice); });
        restoreGeometryFromSettings();
    }

    ui->labChatUname->setText(QStringLiteral("<span style=\"color: blue;\" title=\"") + MessageFormat::escapeName(user)
                              + QStringLiteral("\">") + MessageFormat::escapeName(shownName)
                              + QStringLiteral("</span>"));
    ui->labAccount->setText(user);

    // Status messages arrive entity-encoded, as their author's profile editor sent them.
    ui->labStatusText->setTextFormat(Qt::PlainText);
    if (!statusText.trimmed().isEmpty())
        ui->labStatusText->setText(QString::fromUtf8(MessageFormat::decodeEntities(statusText)));
    else
        ui->labStatusText->setText(owner ? owner->stateName(state) : QString());

    const QPixmap badge(stateIconPath);
    ui->labStatus->setPixmap(badge);
    ui->labStatusImage->setPixmap(badge);

    QFont font;
    const QString description = AppSettings::open().value(QStringLiteral("Interface/Font")).toString();
    if (!description.isEmpty() && font.fromString(description) && font != ui->tbChat->font()) {
        ui->tbChat->setFont(font);
        ui->txtMessageBox->setFont(font);
    }
}

void frmChat::setAvatarImage(const QImage &image)
{
    if (!image.isNull())
        ui->labUserAvatar->setPixmap(QPixmap::fromImage(image));
}

void frmChat::loadHistory()
{
    history = std::make_unique<ChatHistory>(contactUserName);
    const ChatHistory::Loaded loaded = history->load(ownName, contactName, tr("Unknown"));
    lastSpeaker = loaded.lastSpeaker;
    messageCounter = loaded.lastId;
    // Only the newest messages are laid out before the window shows; the older ones follow
    // in slices at the top, so a long history opens as fast as a short one.
    olderHistory = loaded.markups;
    const int first = qMax(0, olderHistory.size() - FirstHistorySlice);
    prependToView(olderHistory.mid(first));
    olderHistory.erase(olderHistory.begin() + first, olderHistory.end());
}

void frmChat::showOlderHistory(int count)
{
    if (olderHistory.isEmpty())
        return;
    const int first = qMax(0, olderHistory.size() - count);
    const QStringList slice = olderHistory.mid(first);
    olderHistory.erase(olderHistory.begin() + first, olderHistory.end());
    prependToView(slice);
    if (!olderHistory.isEmpty())
        QTimer::singleShot(0, this, [this] { showOlderHistory(HistorySlice); });
}

void frmChat::prependToView(const QStringList &markups)
{
    // Each message is its own margin-less paragraph, as appending makes it.
    const QString paragraph = QStringLiteral(
        "<p style=\"margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; "
        "text-indent:0px;\">");
    const QString emptyParagraph =
        QStringLiteral("<p style=\"-qt-paragraph-type:empty; margin-top:0px; margin-bottom:0px; margin-left:0px; "
                       "margin-right:0px; -qt-block-indent:0; text-indent:0px;\"><br /></p>");
    QString html;
    html.reserve(markups.size() * 300);
    for (const QString &markup : markups)
        html +=
            markup.isEmpty() ? emptyParagraph : paragraph + MessageFormat::viewMarkup(markup) + QStringLiteral("</p>");
    if (html.isEmpty())
        return;
    QTextDocument *document = ui->tbChat->document();
    if (document->isEmpty()) {
        document->setHtml(html);
        return;
    }
    // The view keeps showing what it showed: the bottom, or the message at its top.
    endAppendBatch();
    QAbstractTextDocumentLayout *layout = document->documentLayout();
    QScrollBar *bar = ui->tbChat->verticalScrollBar();
    const bool atBottom = bar->value() >= bar->maximum();
    const QTextBlock top = ui->tbChat->cursorForPosition(QPoint(0, 0)).block();
    const qreal topOffset = layout->blockBoundingRect(top).top() - bar->value();
    const int topPosition = top.position() - document->characterCount();
    QTextCursor cursor(document);
    cursor.beginEditBlock();
    cursor.insertBlock();
    cursor.movePosition(QTextCursor::Start);
    cursor.insertFragment(QTextDocumentFragment::fromHtml(html, document));
    cursor.endEditBlock();
    // Everything below was laid out already; this places it and sets the scroll range.
    layout->documentSize();
    const QTextBlock moved = document->findBlock(topPosition + document->characterCount());
    bar->setValue(atBottom ? bar->maximum() : qRound(layout->blockBoundingRect(moved).top() - topOffset));
}

void frmChat::restoreGeometryFromSettings()
{
    const QByteArray geometry = AppSettings::open().value(geometryKey(contactUserName)).toByteArray();
    if (!geometry.isEmpty())
        restoreGeometry(geometry);
}

void frmChat::automaticLength()
{}

QString frmChat::formatMessage(QString text)
{
    return MessageFormat::formatMessage(text);
}

void frmChat::appendMessage(const QString &formatted, const QString &speaker, const QString &headerName,
                            const QString &headerColour, const QString &closing)
{
    const QString end = closing.isEmpty() ? QStringLiteral("</span>") : closing;
    QString markup;
    bool startsBlock = false;
    if (lastSpeaker != speaker) {
        lastSpeaker = speaker;
        startsBlock = true;
        markup = QStringLiteral("<span style=\"color: ") + headerColour + QStringLiteral("\">")
            + MessageFormat::escapeName(headerName) + QStringLiteral("</span><br><span>") + formatted + end;
    } else {
        markup = QStringLiteral("<span>") + formatted + end;
    }
    beginAppendBatch();
    ui->tbChat->append(MessageFormat::viewMarkup(markup));
    if (!history)
        history = std::make_unique<ChatHistory>(contactUserName);
    history->append(messageCounter, markup, speaker, startsBlock);
}

void frmChat::beginAppendBatch()
{
    if (!appendBatch.isNull())
        return;
    const QScrollBar *bar = ui->tbChat->verticalScrollBar();
    appendBatchAtBottom = bar->value() >= bar->maximum();
    appendBatch = QTextCursor(ui->tbChat->document());
    appendBatch.beginEditBlock();
    QTimer::singleShot(0, this, &frmChat::endAppendBatch);
}

void frmChat::endAppendBatch()
{
    if (appendBatch.isNull())
        return;
    appendBatch.endEditBlock();
    appendBatch = QTextCursor();
    if (appendBatchAtBottom)
        scrollDown();
}

void frmChat::appendOwnNotice(const QString &notice)
{
    if (lastSpeaker != QLatin1String(NoticeSpeaker)) {
        lastSpeaker = QLatin1String(NoticeSpeaker);
        ui->tbChat->append(QStringLiteral("<span style=\"color: red\">Zelto Messenger</span><br><span>") + notice
                           + QStringLiteral("</span>"));
    } else {
        ui->tbChat->append(QStringLiteral("<span>") + notice + QStringLiteral("</span>"));
    }
}

void frmChat::on_txtMessageBox_returnPressed()
{
    if (!owner || !owner->isOnline()) {
        ui->txtMessageBox->clear();
        appendOwnNotice(tr("You are offline"));
        return;
    }
    const QString escaped = MessageFormat::escapeHtml(QString::fromUtf8(ui->txtMessageBox->text().toUtf8()));
    if (escaped.trimmed().isEmpty())
        return;

    // The send is synchronous and may run the main window's dispatch meanwhile, which can
    // close this window.
    QPointer<frmChat> self(this);
    const int result = owner->sendMessage(contactUserName, escaped);
    if (!self)
        return;
    ui->txtMessageBox->clear();

    if (result == 404 || result == 1) {
        appendOwnNotice(tr("%1 is offline").arg(MessageFormat::escapeName(contactName)));
        return;
    }
    ++messageCounter;
    const QString formatted = MessageFormat::formatMessage(escaped);
    if (result == 200) {
        appendMessage(formatted, QLatin1String(YouSpeaker), ownName, QStringLiteral("grey"));
    } else {
        appendMessage(formatted, QLatin1String(YouSpeaker), ownName, QStringLiteral("grey"),
                      QStringLiteral(" ---&nbsp;<a href=\"zmp://msgmaybenotdelivered\">"
                                     "<img src=\":/img/mail-t2x16.png\"/></a></span>"));
    }
}

void frmChat::receiveMessage(QString message)
{
    ++messageCounter;
    // Whatever the sender put in, only the text is shown: markup comes out literally.
    const QString formatted = MessageFormat::formatMessage(MessageFormat::sanitizeReceived(message));
    appendMessage(formatted, QLatin1String(ContactSpeaker), contactName, QStringLiteral("blue"));
}

void frmChat::insertSmiley(const QString &text)
{
    ui->txtMessageBox->setText(ui->txtMessageBox->text() + text);
    ui->txtMessageBox->setFocus();
}

void frmChat::addEvilSmiley()
{
    insertSmiley(QStringLiteral(" (evil) "));
}
void frmChat::addFriendlySmiley()
{
    insertSmiley(QStringLiteral(" :) "));
}
void frmChat::addWinkSmiley()
{
    insertSmiley(QStringLiteral(" ;) "));
}
void frmChat::addLaughtingSmiley()
{
    insertSmiley(QStringLiteral(" :D "));
}
void frmChat::addHahaSmiley()
{
    insertSmiley(QStringLiteral(" :P "));
}
void frmChat::addSurprisedSmiley()
{
    insertSmiley(QStringLiteral(" :O "));
}
void frmChat::addNormalSmiley()
{
    insertSmiley(QStringLiteral(" :| "));
}
void frmChat::addSadSmiley()
{
    insertSmiley(QStringLiteral(" :( "));
}
void frmChat::addAngrySmiley()
{
    insertSmiley(QStringLiteral(" (angry) "));
}
void frmChat::addCrySmiley()
{
    insertSmiley(QStringLiteral(" (cry) "));
}

void frmChat::on_cmdSmiley_clicked()
{
    picker->popup(QCursor::pos());
}

void frmChat::on_cmdSmiley_mouseRelease(QMouseEvent *ev)
{
    if (ev && ui->cmdSmiley->rect().contains(ev->pos()))
        on_cmdSmiley_clicked();
}

void frmChat::openLink(QString url)
{
    if (url == QLatin1String(NotDeliveredLink)) {
        QMessageBox::information(this, tr("Message"), tr("This message was maybe not delivered"));
        return;
    }
    // Links come from other people's text: only web and mail links go to the desktop. Odd
    // characters a linked address may hold ("|", "{", "^") are percent-encoded, not refused.
    const QUrl target(url, QUrl::TolerantMode);
    const QString scheme = target.scheme().toLower();
    const bool web = scheme == QLatin1String("http") || scheme == QLatin1String("https")
        || scheme == QLatin1String("ftp") || scheme == QLatin1String("mailto");
    if (!target.isValid() || !web) {
        qDebug() << "Link not opened:" << url;
        return;
    }
    QDesktopServices::openUrl(target);
}

void frmChat::on_tbChat_sourceChanged(QUrl url)
{
    openLink(url.toString());
}

void frmChat::scrollDown()
{
    QScrollBar *bar = ui->tbChat->verticalScrollBar();
    lastScrollMaximum = bar->maximum();
    bar->setValue(bar->maximum());
}

void frmChat::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    const QScrollBar *bar = ui->tbChat->verticalScrollBar();
    if (bar->value() == bar->maximum() || bar->value() == lastScrollMaximum)
        QTimer::singleShot(10, this, &frmChat::scrollDown);
    event->accept();
}

void frmChat::closeEvent(QCloseEvent *event)
{
    if (!contactUserName.isEmpty()) {
        QSettings settings = AppSettings::open();
        settings.setValue(geometryKey(contactUserName), saveGeometry());
    }
    history.reset();
    if (owner)
        owner->chatWindowClosed(contactUserName, this);
    event->accept();
    deleteLater();
}
