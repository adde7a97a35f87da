#ifndef AVATARCACHE_H
#define AVATARCACHE_H

#include <QByteArray>
#include <QImage>
#include <QString>

class QSaveFile;

// The ".zm" avatar cache files in the data directory. Version 11 (written): "ZM", the
// version byte 0x11, 0xFF, the CRC-16 of the picture as six decimal digits packed two per
// byte, 0xFF, then the picture compressed with qCompress. Version 10 (still read): "ZM",
// 0x10, then the compressed picture without a checksum.
namespace AvatarCache {

// Avatars are small pictures; anything bigger is refused before it is decoded.
constexpr int MaxPictureBytes = 1024 * 1024;
constexpr int MaxPictureSide = 2048;

enum class Status {
    Valid,
    NotZm, // wrong magic
    TooOld, // version below 10 (or a version byte with a hexadecimal letter)
    BadChecksum, // version 11 whose picture does not match the stored checksum
    BadData, // cut short, not decompressible, or claiming more than MaxPictureBytes
    NotImage, // decompressed, but not a picture we accept
};

struct Entry {
    Status status = Status::BadData;
    int version = 0;
    QByteArray picture;
};

// The version byte read as the decimal number its hexadecimal digits spell: 0x11 is 11, 0x0A is 0.
int readVersion(quint8 byte);
// The checksum as six decimal digits packed into three bytes: 65535 gives 06 55 35.
QByteArray packChecksum(quint16 checksum);
quint16 pictureChecksum(const QByteArray &picture);
// qUncompress that refuses data claiming or producing more than maxBytes.
QByteArray boundedUncompress(const QByteArray &compressed, int maxBytes, bool *ok);

QByteArray encode(const QByteArray &picture);
Entry decode(const QByteArray &file);

// Decodes picture bytes when they are a PNG, JPEG or GIF of acceptable size; a null image
// otherwise.
QImage decodePicture(const QByteArray &picture);

// data directory + "/" + id + ".zm" (unsafe ids are encoded, see DataDirectory).
QString filePath(const QString &avatarId);
QString filePath(const QString &directory, const QString &avatarId);
// Writes the version-11 file atomically; an old file stays until the new one is complete.
bool writeFile(const QString &path, const QByteArray &picture);
// The same into an already opened save file, which is committed or cancelled.
bool commitFile(QSaveFile &file, const QByteArray &picture);
// The picture of a cache file, read within bounds; empty when the file cannot be read or is
// no valid entry, and such an entry is removed so that the picture is fetched again. id only
// names the file in the log.
QByteArray loadFile(const QString &path, const QString &id);

} // namespace AvatarCache

#endif
