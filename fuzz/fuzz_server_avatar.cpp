// Avatar pictures a client sends to zmsgd: only PNG, JPEG and GIF are decoded, within bounds,
// and whatever is kept is a 128 x 128 PNG.
#include "fuzzsupport.h"
#include "zmsgdpicture.h"

#include <QImage>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    FuzzSupport::installQuietHandler();
    FuzzSupport::makeApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = FuzzSupport::bytes(data, size);
    const QByteArray format = ZmsgdPicture::sniffFormat(bytes);
    FUZZ_CHECK(format.isEmpty() || format == "png" || format == "jpeg" || format == "gif");
    const QByteArray png = ZmsgdPicture::toAvatarPng(bytes);
    if (png.isEmpty())
        return 0;
    FUZZ_CHECK(!format.isEmpty());
    FUZZ_CHECK(ZmsgdPicture::sniffFormat(png) == "png");
    const QImage image = QImage::fromData(png, "PNG");
    FUZZ_CHECK(image.size() == QSize(ZmsgdPicture::AvatarSide, ZmsgdPicture::AvatarSide));
    // A stored avatar goes through again unchanged in size.
    FUZZ_CHECK(QImage::fromData(ZmsgdPicture::toAvatarPng(png), "PNG").size() == image.size());
    return 0;
}
