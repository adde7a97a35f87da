#include "testpictures.h"

#include <QBuffer>
#include <QVector>

#include <zlib.h>

QByteArray pngBytes(const QImage &image)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return buffer.data();
}

QByteArray plainPng(int width, int height, const QColor &colour)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(colour);
    return pngBytes(image);
}

namespace {

void appendLittle16(QByteArray *bytes, int value)
{
    bytes->append(char(value & 0xff));
    bytes->append(char((value >> 8) & 0xff));
}

class BitWriter
{
public:
    void write(int code, int width)
    {
        m_bits |= quint32(code) << m_count;
        m_count += width;
        while (m_count >= 8) {
            m_bytes.append(char(m_bits & 0xff));
            m_bits >>= 8;
            m_count -= 8;
        }
    }
    QByteArray finish()
    {
        if (m_count > 0)
            m_bytes.append(char(m_bits & 0xff));
        return m_bytes;
    }

private:
    QByteArray m_bytes;
    quint32 m_bits = 0;
    int m_count = 0;
};

} // namespace

QByteArray gifBytes(const QImage &image)
{
    QVector<QRgb> palette;
    QVector<int> indices;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb colour = image.pixel(x, y) | 0xff000000u;
            int index = palette.indexOf(colour);
            if (index < 0) {
                if (palette.size() == 256)
                    return QByteArray();
                index = palette.size();
                palette << colour;
            }
            indices << index;
        }
    }
    QByteArray gif("GIF89a");
    appendLittle16(&gif, image.width());
    appendLittle16(&gif, image.height());
    gif.append(char(0xf7)).append(char(0)).append(char(0));
    for (int i = 0; i < 256; ++i) {
        const QRgb colour = palette.value(i);
        gif.append(char(qRed(colour))).append(char(qGreen(colour))).append(char(qBlue(colour)));
    }
    gif.append(char(0x2c));
    appendLittle16(&gif, 0);
    appendLittle16(&gif, 0);
    appendLittle16(&gif, image.width());
    appendLittle16(&gif, image.height());
    gif.append(char(0));
    gif.append(char(8));
    constexpr int Clear = 256;
    constexpr int End = 257;
    BitWriter bits;
    for (int i = 0; i < indices.size(); ++i) {
        if (i % 250 == 0)
            bits.write(Clear, 9);
        bits.write(indices.at(i), 9);
    }
    bits.write(End, 9);
    const QByteArray data = bits.finish();
    for (int offset = 0; offset < data.size(); offset += 255) {
        const QByteArray block = data.mid(offset, 255);
        gif.append(char(block.size())).append(block);
    }
    gif.append(char(0)).append(char(0x3b));
    return gif;
}

namespace {

QByteArray bigEndian(quint32 value)
{
    const char bytes[4] = {char(value >> 24), char(value >> 16), char(value >> 8), char(value)};
    return QByteArray(bytes, 4);
}

QByteArray pngChunk(const char *type, const QByteArray &data)
{
    const QByteArray typed = QByteArray(type) + data;
    return bigEndian(quint32(data.size())) + typed
        + bigEndian(quint32(crc32(0, reinterpret_cast<const Bytef *>(typed.constData()), uInt(typed.size()))));
}

} // namespace

QByteArray pngHeader(int width, int height)
{
    // 8-bit RGB, no interlacing.
    const QByteArray header =
        bigEndian(quint32(width)) + bigEndian(quint32(height)) + QByteArray("\x08\x02\x00\x00\x00", 5);
    // Four rows of black, each after its filter byte; qCompress writes a zlib stream after a
    // four-byte length.
    const QByteArray rows = qCompress(QByteArray(4 * (1 + 3 * width), '\0')).mid(4);
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", header) + pngChunk("IDAT", rows);
}
