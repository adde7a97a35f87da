#ifndef CHATHISTORY_H
#define CHATHISTORY_H

#include <QByteArray>
#include <QString>
#include <QStringList>

// The per-contact chat history: an INI file in the data directory with the group "Chat"
// ("LastMessageFrom", "LastMessageID") and the group "Messages" ("Message1", "Message2", ...,
// each a list of markup, speaker and block flag). New messages are appended as small
// "[Messages]" and "[Chat]" sections that QSettings reads with the later value winning, so a
// write costs the same however long the history is and never rewrites earlier messages.
class ChatHistory
{
public:
    // Messages shown when a chat opens: the newest one and the thousand before it.
    static constexpr int ShownBefore = 1000;

    struct Loaded {
        QString lastSpeaker;
        int lastId = 0;
        int firstId = 1;
        QStringList markups; // one paragraph each, oldest first
    };

    explicit ChatHistory(const QString &contactUser);

    QString fileName() const { return m_fileName; }

    // Reads the newest messages. The names are plain text; they are escaped for the header
    // put in front of a first message that continues a block.
    Loaded load(const QString &ownName, const QString &contactName, const QString &unknownText) const;
    // Stores message number id; false when the file could not be written (earlier messages
    // stay untouched either way).
    bool append(int id, const QString &markup, const QString &speaker, bool startsBlock);

    // The header of a block of the given speaker.
    static QString blockHeader(const QString &speaker, const QString &ownName, const QString &contactName,
                               const QString &unknownText);
    // One value written the way QSettings writes it to INI files without a text codec.
    static QByteArray iniValue(const QString &value);
    static QByteArray iniValue(const QStringList &values);
    // The bytes appended for one message.
    static QByteArray appendBlock(int id, const QString &markup, const QString &speaker, bool startsBlock);
    // What must follow an INI text so that its last line is closed, the way QSettings reads
    // lines: a line feed, after a closing quote where a quoted value is still open and after
    // a character for a backslash at the very end, and an empty line after a backslash that
    // continues the last line. Empty when the text ends a line already.
    static QByteArray tailClosing(const QByteArray &content);

private:
    QString m_fileName;
    // Whether this object has already looked at the whole file before appending to it.
    bool m_tailChecked = false;
};

#endif
