#include "AvatarCache.h"

#include "DataDirectory.h"
#include "PictureFormat.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <zlib.h>

namespace AvatarCache {

int readVersion(quint8 byte)
{
    bool ok = false;
    const int version = QString::number(byte, 16).toInt(&ok, 10);
    return ok ? version : 0;
}

QByteArray packChecksum(quint16 checksum)
{
    const QByteArray digits = QByteArray::number(checksum).rightJustified(6, '0');
    QByteArray packed(3, '\0');
    for (int i = 0; i < 3; ++i)
        packed[i] = char(((digits.at(2 * i) - '0') << 4) | (digits.at(2 * i + 1) - '0'));
    return packed;
}

quint16 pictureChecksum(const QByteArray &picture)
{
    return qChecksum(picture.constData(), uint(picture.size()));
}

QByteArray boundedUncompress(const QByteArray &compressed, int maxBytes, bool *ok)
{
    *ok = false;
    if (compressed.size() < 4)
        return QByteArray();
    const auto *bytes = reinterpret_cast<const uchar *>(compressed.constData());
    const quint32 claimed = (quint32(bytes[0]) << 24) | (quint32(bytes[1]) << 16) | (quint32(bytes[2]) << 8) | bytes[3];
    if (claimed > quint32(maxBytes))
        return QByteArray();
    if (compressed.size() == 4) {
        // qCompress writes an empty input as its length header alone.
        *ok = claimed == 0;
        return QByteArray();
    }

    QByteArray out(int(claimed), Qt::Uninitialized);
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK)
        return QByteArray();
    stream.next_in = const_cast<Bytef *>(bytes + 4);
    stream.avail_in = uInt(compressed.size() - 4);
    stream.next_out = reinterpret_cast<Bytef *>(out.data());
    stream.avail_out = uInt(out.size());
    int result = inflate(&stream, Z_FINISH);
    if (result == Z_BUF_ERROR && stream.avail_out == 0) {
        // The output is full: the stream may only end here, never produce more.
        unsigned char probe;
        stream.next_out = &probe;
        stream.avail_out = 1;
        result = inflate(&stream, Z_FINISH);
        if (result != Z_STREAM_END || stream.avail_out == 0)
            result = Z_DATA_ERROR;
    }
    const uLong produced = stream.total_out;
    inflateEnd(&stream);
    if (result != Z_STREAM_END || produced > claimed)
        return QByteArray();
    out.truncate(int(produced));
    *ok = true;
    return out;
}

QByteArray encode(const QByteArray &picture)
{
    QByteArray file("ZM");
    file += char(0x11);
    file += char(0xFF);
    file += packChecksum(pictureChecksum(picture));
    file += char(0xFF);
    file += qCompress(picture, 9);
    return file;
}

Entry decode(const QByteArray &file)
{
    Entry entry;
    if (file.size() < 2 || file.at(0) != 'Z' || file.at(1) != 'M') {
        entry.status = Status::NotZm;
        return entry;
    }
    entry.version = file.size() > 2 ? readVersion(quint8(file.at(2))) : 0;
    if (entry.version < 10) {
        entry.status = Status::TooOld;
        return entry;
    }
    const int dataOffset = entry.version == 10 ? 3 : 8;
    if (file.size() <= dataOffset) {
        entry.status = Status::BadData;
        return entry;
    }
    bool ok = false;
    entry.picture = boundedUncompress(file.mid(dataOffset), MaxPictureBytes, &ok);
    if (!ok) {
        entry.picture.clear();
        entry.status = Status::BadData;
        return entry;
    }
    if (entry.version >= 11 && file.mid(4, 3) != packChecksum(pictureChecksum(entry.picture))) {
        entry.picture.clear();
        entry.status = Status::BadChecksum;
        return entry;
    }
    entry.status = decodePicture(entry.picture).isNull() ? Status::NotImage : Status::Valid;
    return entry;
}

QImage decodePicture(const QByteArray &picture)
{
    return PictureFormat::decode(picture, MaxPictureSide, MaxPictureBytes);
}

QString filePath(const QString &directory, const QString &avatarId)
{
    return DataDirectory::filePath(directory, avatarId, QStringLiteral(".zm"));
}

QString filePath(const QString &avatarId)
{
    return filePath(DataDirectory::path(), avatarId);
}

bool commitFile(QSaveFile &file, const QByteArray &picture)
{
    const QByteArray content = encode(picture);
    // A short write (a full disk) must not replace a good file with a cut one: the size on
    // disk is checked before the file takes the place of the old one.
    if (file.write(content) != content.size() || !file.flush() || file.size() != content.size()) {
        qWarning() << "Cannot write avatar cache" << file.fileName() << file.errorString();
        file.cancelWriting();
        file.commit();
        return false;
    }
    if (!file.commit()) {
        qWarning() << "Cannot write avatar cache" << file.fileName() << file.errorString();
        return false;
    }
    return true;
}

bool writeFile(const QString &path, const QByteArray &picture)
{
    DataDirectory::ensureDirectory(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        qWarning() << "Cannot write avatar cache" << path << file.errorString();
        return false;
    }
    DataDirectory::protectFile(file);
    return commitFile(file, picture);
}

QByteArray loadFile(const QString &path, const QString &id)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    // A cache file is at most the compressed picture plus its header; anything far larger
    // is not ours.
    const qint64 limit = 2 * qint64(MaxPictureBytes) + 64;
    const bool oversized = file.size() > limit;
    const Entry entry = oversized ? Entry{} : decode(file.readAll());
    file.close();

    switch (entry.status) {
    case Status::NotZm:
        qDebug() << "Not ZM Format Avatar" << id;
        break;
    case Status::TooOld:
        qDebug() << "To old Version Avatar" << id;
        break;
    case Status::BadChecksum:
        qDebug() << "Failed to validate Avatar" << id;
        break;
    case Status::BadData:
    case Status::NotImage:
        if (entry.version >= 11 && entry.status == Status::NotImage)
            qDebug() << "Success to validate Avatar" << id;
        qDebug() << "Failed to load Avatar" << id;
        break;
    case Status::Valid:
        if (entry.version >= 11)
            qDebug() << "Success to validate Avatar" << id;
        qDebug() << "Success loading Avatar" << id;
        return entry.picture;
    }
    QFile::remove(path);
    return QByteArray();
}

} // namespace AvatarCache
