#ifndef ZMSGDPICTURE_H
#define ZMSGDPICTURE_H

#include <QByteArray>

// Avatar pictures as clients send them. Only PNG, JPEG and GIF are decoded, each by its own
// reader chosen from the first bytes: other formats Qt could read (SVG among them) load fonts
// and files named inside the picture, which a server must never do for a stranger.
namespace ZmsgdPicture {

constexpr int AvatarSide = 128;
// Larger pictures are refused before they are decoded.
constexpr int MaxSide = 1024;

// "png", "jpeg" or "gif" from the magic bytes; empty for anything else.
QByteArray sniffFormat(const QByteArray &data);
// The picture cut and scaled to AvatarSide x AvatarSide, as PNG; empty when refused.
QByteArray toAvatarPng(const QByteArray &data);

} // namespace ZmsgdPicture

#endif
