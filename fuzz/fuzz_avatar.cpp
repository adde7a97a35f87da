// ".zm" avatar cache files: whatever a cache file holds is refused or decoded within bounds,
// and every picture the cache writes reads back unchanged.
#include "AvatarCache.h"
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

    const AvatarCache::Entry entry = AvatarCache::decode(bytes);
    FUZZ_CHECK(entry.picture.size() <= AvatarCache::MaxPictureBytes);
    if (entry.status == AvatarCache::Status::Valid) {
        FUZZ_CHECK(entry.version >= 10 && !entry.picture.isEmpty());
        const QImage image = AvatarCache::decodePicture(entry.picture);
        FUZZ_CHECK(!image.isNull());
        FUZZ_CHECK(image.width() <= AvatarCache::MaxPictureSide && image.height() <= AvatarCache::MaxPictureSide);
    } else if (entry.status != AvatarCache::Status::NotImage) {
        FUZZ_CHECK(entry.picture.isEmpty());
    }

    // An empty download is never cached, so the round trip starts at one byte.
    if (bytes.isEmpty())
        return 0;
    const AvatarCache::Entry again = AvatarCache::decode(AvatarCache::encode(bytes));
    FUZZ_CHECK(again.version == 11);
    FUZZ_CHECK(again.status == AvatarCache::Status::Valid || again.status == AvatarCache::Status::NotImage);
    FUZZ_CHECK(again.picture == bytes);
    return 0;
}
