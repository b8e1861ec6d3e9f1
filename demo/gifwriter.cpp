#include "gifwriter.h"

#include <QHash>
#include <QList>

#include <algorithm>

namespace {

// Packs codes LSB first and cuts the stream into the sub-blocks of at most 255 bytes that GIF wants.
class CodeWriter
{
public:
    explicit CodeWriter(QByteArray& out) : m_out(out) {}

    void put(int code, int bits)
    {
        m_bits |= static_cast<quint32>(code) << m_count;
        m_count += bits;
        while (m_count >= 8) {
            m_block.append(static_cast<char>(m_bits & 0xff));
            m_bits >>= 8;
            m_count -= 8;
            if (m_block.size() == 255)
                flushBlock();
        }
    }

    void finish()
    {
        if (m_count > 0)
            m_block.append(static_cast<char>(m_bits & 0xff));
        m_bits = 0;
        m_count = 0;
        flushBlock();
        m_out.append('\0'); // block terminator
    }

private:
    void flushBlock()
    {
        if (m_block.isEmpty())
            return;
        m_out.append(static_cast<char>(m_block.size()));
        m_out.append(m_block);
        m_block.clear();
    }

    QByteArray& m_out;
    QByteArray m_block;
    quint32 m_bits = 0;
    int m_count = 0;
};

void put16(QByteArray& out, int value)
{
    out.append(static_cast<char>(value & 0xff));
    out.append(static_cast<char>((value >> 8) & 0xff));
}

} // namespace

QImage quantiseForGif(const QImage& image)
{
    // Popularity palette: the 256 most used colours at 5 bits per primary, each the mean of its pixels. The demo
    // pictures are mostly flat areas, so this keeps them clean where a fixed colour cube would band badly.
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    struct Bucket
    {
        int key = 0;
        qint64 red = 0, green = 0, blue = 0, count = 0;
    };
    QHash<int, Bucket> buckets;
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x) {
            const QRgb c = line[x];
            const int key = (qRed(c) >> 3) << 10 | (qGreen(c) >> 3) << 5 | (qBlue(c) >> 3);
            Bucket& bucket = buckets[key];
            bucket.key = key;
            bucket.red += qRed(c);
            bucket.green += qGreen(c);
            bucket.blue += qBlue(c);
            ++bucket.count;
        }
    }
    // QHash order changes from run to run; ties are broken by key so the output is reproducible.
    QList<Bucket> ranked = buckets.values();
    std::sort(ranked.begin(), ranked.end(),
              [](const Bucket& a, const Bucket& b) { return a.count != b.count ? a.count > b.count : a.key < b.key; });
    QList<QRgb> palette;
    for (qsizetype i = 0; i < std::min<qsizetype>(ranked.size(), 256); ++i) {
        const Bucket& b = ranked.at(i);
        palette.append(qRgb(int(b.red / b.count), int(b.green / b.count), int(b.blue / b.count)));
    }
    return rgb.convertToFormat(QImage::Format_Indexed8, palette, Qt::ThresholdDither);
}

QByteArray encodeGif(const QImage& indexed)
{
    Q_ASSERT(indexed.format() == QImage::Format_Indexed8);
    QByteArray out("GIF89a");
    put16(out, indexed.width());
    put16(out, indexed.height());
    out.append(static_cast<char>(0xf7)); // global colour table of 256 entries, 8 bits per primary
    out.append('\0');                    // background colour index
    out.append('\0');                    // square pixels
    const QList<QRgb> colours = indexed.colorTable();
    for (int i = 0; i < 256; ++i) {
        const QRgb c = i < colours.size() ? colours.at(i) : qRgb(0, 0, 0);
        out.append(static_cast<char>(qRed(c)));
        out.append(static_cast<char>(qGreen(c)));
        out.append(static_cast<char>(qBlue(c)));
    }
    out.append(',');
    put16(out, 0);
    put16(out, 0);
    put16(out, indexed.width());
    put16(out, indexed.height());
    out.append('\0'); // no local colour table, not interlaced

    // LZW with 9-bit codes throughout: the table is cleared before it reaches 512 entries, where a decoder would
    // widen its codes. That costs some compression but keeps the encoder trivially in step with every decoder.
    constexpr int minCodeSize = 8;
    constexpr int clearCode = 1 << minCodeSize;
    constexpr int endCode = clearCode + 1;
    constexpr int codeBits = minCodeSize + 1;
    constexpr int tableLimit = (1 << codeBits) - 1;
    out.append(static_cast<char>(minCodeSize));
    CodeWriter writer(out);
    QHash<int, int> table; // (prefix code << 8 | pixel) -> code
    int nextCode = endCode + 1;
    int prefix = -1;
    writer.put(clearCode, codeBits);
    for (int y = 0; y < indexed.height(); ++y) {
        const uchar* line = indexed.constScanLine(y);
        for (int x = 0; x < indexed.width(); ++x) {
            const int pixel = line[x];
            if (prefix < 0) {
                prefix = pixel;
                continue;
            }
            const int key = prefix << 8 | pixel;
            const auto found = table.constFind(key);
            if (found != table.constEnd()) {
                prefix = *found;
                continue;
            }
            writer.put(prefix, codeBits);
            if (nextCode < tableLimit) {
                table.insert(key, nextCode++);
            } else {
                writer.put(clearCode, codeBits);
                table.clear();
                nextCode = endCode + 1;
            }
            prefix = pixel;
        }
    }
    if (prefix >= 0)
        writer.put(prefix, codeBits);
    writer.put(endCode, codeBits);
    writer.finish();
    out.append(';'); // trailer
    return out;
}
