// Avatar pictures a client sends to zmsgd: only PNG, JPEG and GIF are decoded, within bounds,
// and whatever is kept is a 128 x 128 PNG.
#include "fuzzsupport.h"
#include "zmsgdpicture.h"

#include <QBuffer>
#include <QImage>

// The image plugins and their caches are loaded once for good; loaded inside a run they look
// like a leak to libFuzzer's check between inputs, whose scan then trips over the plugin's
// thread-local data.
static void loadImagePlugins()
{
    QImage picture(4, 4, QImage::Format_RGB32);
    picture.fill(Qt::red);
    for (const char *format : {"PNG", "JPEG"}) {
        QByteArray encoded;
        QBuffer buffer(&encoded);
        buffer.open(QIODevice::WriteOnly);
        picture.save(&buffer, format);
        ZmsgdPicture::toAvatarPng(encoded);
    }
    // Qt writes no GIF; this is a 1 x 1 one.
    static const char gif[] = "GIF89a\x01\x00\x01\x00\x80\x00\x00\x00\x00\x00\xff\xff\xff,\x00\x00\x00\x00"
                              "\x01\x00\x01\x00\x00\x02\x02"
                              "D\x01\x00;";
    ZmsgdPicture::toAvatarPng(QByteArray(gif, sizeof gif - 1));
}

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    FuzzSupport::installQuietHandler();
    FuzzSupport::makeApplication();
    loadImagePlugins();
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
