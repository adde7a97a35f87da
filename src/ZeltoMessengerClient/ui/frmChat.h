#ifndef FRMCHAT_H
#define FRMCHAT_H

#include <QDialog>
#include <QImage>
#include <QString>
#include <QStringList>
#include <QTextCursor>
#include <QUrl>

#include <memory>

class ChatHistory;
class ChatLink;
class QMenu;
class QMouseEvent;
class QStyle;

namespace Ui {
class frmChat;
}

// The conversation window with one contact: header, conversation view, message field with
// the smiley picker, and the contact's history file.
class frmChat : public QDialog
{
    Q_OBJECT
public:
    explicit frmChat(QWidget *parent = nullptr);
    ~frmChat() override;

    void setOwner(ChatLink *link) { owner = link; }
    QString contactUser() const { return contactUserName; }
    // The avatar id the header was last given.
    QString avatarId() const { return givenAvatarId; }

    // A status line the main window built as markup (for someone not in the contacts);
    // contact status texts given to setInfo are shown as plain text.
    void setStatusMarkup(const QString &markup);
    // Fills the header; with loadHistory (once, right after creation) also opens the history
    // and restores the window geometry.
    void setInfo(QString user, QString contactName, QString statusText, QString ownName, QString stateIconPath,
                 int state, QString avatarId, bool loadHistory);
    // Shows a picture that arrived after the window was opened.
    void setAvatarImage(const QImage &image);
    void receiveMessage(QString message);
    QString formatMessage(QString text);
    // Re-applies the frame styles after the application style changed.
    void refreshStyles();
    // Opens the smiley picker at the mouse cursor.
    void on_cmdSmiley_clicked();
    QMenu *smileyPicker() const { return picker; }

public slots:
    void automaticLength();
    void on_txtMessageBox_returnPressed();
    void addEvilSmiley();
    void addFriendlySmiley();
    void addWinkSmiley();
    void addLaughtingSmiley();
    void addHahaSmiley();
    void addSurprisedSmiley();
    void addNormalSmiley();
    void addSadSmiley();
    void addAngrySmiley();
    void addCrySmiley();
    void openLink(QString url);
    void on_tbChat_sourceChanged(QUrl url);
    void scrollDown();
    void on_cmdSmiley_mouseRelease(QMouseEvent *ev);

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void buildSmileyPicker();
    void insertSmiley(const QString &text);
    void appendOwnNotice(const QString &notice);
    void appendMessage(const QString &formatted, const QString &speaker, const QString &headerName,
                       const QString &headerColour, const QString &closing = QString());
    void loadHistory();
    // Puts the newest `count` of the messages still waiting above the view's content, and
    // schedules the rest.
    void showOlderHistory(int count);
    void prependToView(const QStringList &markups);
    void beginAppendBatch();
    void endAppendBatch();
    void restoreGeometryFromSettings();

    Ui::frmChat *ui;
    ChatLink *owner = nullptr;
    QString contactUserName;
    QString contactName;
    QString ownName;
    QString lastSpeaker;
    int messageCounter = 0;
    std::unique_ptr<ChatHistory> history;
    static constexpr int FirstHistorySlice = 50;
    static constexpr int HistorySlice = 100;
    // Stored messages not yet in the view, oldest first.
    QStringList olderHistory;
    int lastScrollMaximum = 0;
    // Messages appended in one turn of the event loop are laid out together at its end.
    QTextCursor appendBatch;
    bool appendBatchAtBottom = false;
    QString shownAvatarId;
    QString givenAvatarId;
    QMenu *picker = nullptr;
    QStyle *frameStyle = nullptr;
};

#endif
