// Avatar picture bytes as a download or a cache file hands them to the client: only PNG,
// JPEG and GIF are decoded, within the size bounds, and a picture that decodes is one the
// cache keeps and gives back.
#include "AvatarCache.h"
#include "PictureFormat.h"
#include "fuzzsupport.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    FuzzSupport::installQuietHandler();
    FuzzSupport::makeApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = FuzzSupport::bytes(data, size);
    const QByteArray format = PictureFormat::sniff(bytes);
    FUZZ_CHECK(format.isEmpty() || format == "png" || format == "jpeg" || format == "gif");

    const QImage picture = AvatarCache::decodePicture(bytes);
    if (format.isEmpty())
        FUZZ_CHECK(picture.isNull());
    if (!picture.isNull()) {
        FUZZ_CHECK(picture.width() <= AvatarCache::MaxPictureSide && picture.height() <= AvatarCache::MaxPictureSide);
        // What the download keeps is what a later run reads back from the cache.
        const AvatarCache::Entry entry = AvatarCache::decode(AvatarCache::encode(bytes));
        FUZZ_CHECK(entry.status == AvatarCache::Status::Valid && entry.picture == bytes);
    }

    // The captcha's tighter bound refuses at least what the avatar bound refuses.
    const QImage small = PictureFormat::decode(bytes, 16, AvatarCache::MaxPictureBytes);
    if (!small.isNull())
        FUZZ_CHECK(!picture.isNull() && small.width() <= 16 && small.height() <= 16);
    return 0;
}
