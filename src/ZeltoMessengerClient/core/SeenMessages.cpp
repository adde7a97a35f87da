#include "SeenMessages.h"

#include "DataDirectory.h"

#include <QCryptographicHash>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QtEndian>

SeenMessages::~SeenMessages()
{
    save();
}

void SeenMessages::open(const QString &account)
{
    save();
    m_account = account;
    m_order.clear();
    m_keys.clear();
    m_unsaved.clear();
    m_linesInFile = 0;
    m_fileEndsLine = true;
    if (account.isEmpty())
        return;
    QFile file(fileName(account));
    if (!file.exists())
        return;
    // A file that cannot be read is replaced at the next save.
    m_linesInFile = 2 * Capacity + 1;
    // Anything but a regular file (a pipe would block the reader) is not read.
    if (!QFileInfo(file).isFile()) {
        qWarning() << "The record of shown messages" << file.fileName() << "is no regular file; it starts anew";
        return;
    }
    if (file.size() > MaxFileSize) {
        qWarning() << "Not reading the record of shown messages" << file.fileName() << "of" << file.size()
                   << "bytes; it starts anew";
        return;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning() << "Cannot read the record of shown messages" << file.fileName() << file.errorString();
        return;
    }
    const QByteArray content = file.read(MaxFileSize);
    m_linesInFile = content.count('\n');
    m_fileEndsLine = content.isEmpty() || content.endsWith('\n');
    for (const Entry &entry : parse(content))
        add(entry);
}

bool SeenMessages::contains(qint64 id, const QString &sender, const QString &text) const
{
    const Entry e = entry(id, sender, text);
    return m_keys.contains(qMakePair(e.id, e.digest));
}

void SeenMessages::insert(qint64 id, const QString &sender, const QString &text)
{
    if (id <= 0 || m_account.isEmpty() || contains(id, sender, text))
        return;
    const Entry e = entry(id, sender, text);
    add(e);
    m_unsaved.append(e);
}

void SeenMessages::add(const Entry &entry)
{
    if (!m_keys.contains(qMakePair(entry.id, entry.digest))) {
        m_order.append(entry);
        m_keys.insert(qMakePair(entry.id, entry.digest));
    }
    while (m_order.size() > Capacity) {
        const Entry oldest = m_order.takeFirst();
        m_keys.remove(qMakePair(oldest.id, oldest.digest));
    }
}

bool SeenMessages::save()
{
    if (m_unsaved.isEmpty() || m_account.isEmpty())
        return true;
    const QString name = fileName(m_account);
    const bool appendable = m_linesInFile + m_unsaved.size() <= 2 * Capacity && QFileInfo(name).isFile();
    if (!(appendable ? append(name) : rewrite(name)))
        return false;
    m_unsaved.clear();
    return true;
}

bool SeenMessages::append(const QString &name)
{
    QFile file(name);
    // A line cut off by a crash is closed first, so that it spoils no new entry.
    const QByteArray block = (m_fileEndsLine ? QByteArray() : QByteArray("\n")) + serialize(m_unsaved);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append) || file.write(block) != block.size() || !file.flush()) {
        qWarning() << "Cannot write the record of shown messages" << name << file.errorString();
        return false;
    }
    m_linesInFile += block.count('\n');
    m_fileEndsLine = true;
    return true;
}

bool SeenMessages::rewrite(const QString &name)
{
    QDir().mkpath(QFileInfo(name).absolutePath());
    QSaveFile file(name);
    const bool saved = file.open(QIODevice::WriteOnly)
        && file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) && file.write(serialize(m_order)) >= 0
        && file.commit();
    if (!saved) {
        qWarning() << "Cannot write the record of shown messages" << name << file.errorString();
        return false;
    }
    m_linesInFile = m_order.size();
    m_fileEndsLine = true;
    return true;
}

QString SeenMessages::fileName(const QString &account)
{
    return DataDirectory::filePath(account, QStringLiteral(".seen"));
}

SeenMessages::Entry SeenMessages::entry(qint64 id, const QString &sender, const QString &text)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(sender.toUtf8());
    hash.addData("\n", 1);
    hash.addData(text.toUtf8());
    return Entry{id, qFromBigEndian<quint64>(hash.result().constData())};
}

QByteArray SeenMessages::serialize(const QList<Entry> &entries)
{
    QByteArray content;
    content.reserve(entries.size() * 28);
    for (const Entry &e : entries)
        content += QByteArray::number(e.id) + ' ' + QByteArray::number(e.digest, 16).rightJustified(16, '0') + '\n';
    return content;
}

QList<SeenMessages::Entry> SeenMessages::parse(const QByteArray &content)
{
    QList<Entry> entries;
    for (const QByteArray &line : content.split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() != 2 || fields.at(1).size() != 16)
            continue;
        bool idOk = false;
        bool digestOk = false;
        const qint64 id = fields.at(0).toLongLong(&idOk);
        const quint64 digest = fields.at(1).toULongLong(&digestOk, 16);
        if (!idOk || id <= 0 || !digestOk)
            continue;
        entries.append(Entry{id, digest});
        if (entries.size() > Capacity)
            entries.removeFirst();
    }
    return entries;
}
