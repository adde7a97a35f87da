#ifndef SEENMESSAGES_H
#define SEENMESSAGES_H

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QSet>
#include <QString>

// The messages one account has been shown, so that a message the server delivers again
// (because its confirmation never got through) is not shown twice. An entry is the server's
// message number with a digest of sender and text: a server whose numbers start over cannot
// make a new message look like an old one. Holds the newest Capacity entries, kept in the
// data directory as "<account>.seen", readable by the owner only. New entries are appended;
// once the file holds twice Capacity lines it is written anew with the newest Capacity, to a
// temporary file that then replaces it.
class SeenMessages
{
public:
    static constexpr int Capacity = 4096;
    // A record file larger than this was not written here; it is not read.
    static constexpr qint64 MaxFileSize = 1024 * 1024;

    struct Entry {
        qint64 id = 0;
        quint64 digest = 0;
        bool operator==(const Entry &other) const { return id == other.id && digest == other.digest; }
    };

    SeenMessages() = default;
    // Saves what is not saved yet.
    ~SeenMessages();
    SeenMessages(const SeenMessages &) = delete;
    SeenMessages &operator=(const SeenMessages &) = delete;

    // Switches to the record of account, reading its file; the record of the account before is
    // saved first. An empty account holds nothing and is never saved.
    void open(const QString &account);
    QString account() const { return m_account; }

    bool contains(qint64 id, const QString &sender, const QString &text) const;
    void insert(qint64 id, const QString &sender, const QString &text);
    int size() const { return m_order.size(); }

    // Writes what was added since the record was read or saved; false when that failed.
    bool save();

    static QString fileName(const QString &account);
    static Entry entry(qint64 id, const QString &sender, const QString &text);
    // One line per entry, "<id> <digest in 16 hex digits>", oldest first.
    static QByteArray serialize(const QList<Entry> &entries);
    // The newest Capacity well-formed lines; other lines are skipped.
    static QList<Entry> parse(const QByteArray &content);

private:
    void add(const Entry &entry);
    bool append(const QString &name);
    bool rewrite(const QString &name);

    QString m_account;
    QList<Entry> m_order;
    QSet<QPair<qint64, quint64>> m_keys;
    QList<Entry> m_unsaved;
    // Lines of the file as this object last saw it, and whether its last line is complete.
    int m_linesInFile = 0;
    bool m_fileEndsLine = true;
};

#endif
