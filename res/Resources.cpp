#include "Resources.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QImageReader>
#include <QResource>
#include <QString>

#include <algorithm>
#include <cstring>
#include <utility>

#ifdef __GLIBC__
#include <malloc.h>
#endif
#ifdef __linux__
#include <sys/mman.h>
#include <unistd.h>
#endif

// The resources sit in an object file of this static library that nothing else
// refers to; naming its init function keeps the linker from dropping it.
// Q_INIT_RESOURCE cannot be used inside a namespace.
static void RegisterResources()
{
    static const bool registered = [] {
        Q_INIT_RESOURCE(tavrolin_bitmaps);
        return true;
    }();
    (void)registered;
}

namespace {

const std::vector<int> kBitmapIds = {134, 135, 136, 137, 138, 142, 143, 144, 145, 146, 147,
                                     148, 158, 159, 160, 161, 162, 163, 164, 165, 170, 172,
                                     173, 174, 175, 176, 177, 178, 179, 180, 181};

quint32 Le(const QByteArray& data, qsizetype at, int bytes)
{
    quint32 value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = value << 8 | static_cast<uchar>(data[at + i]);
    return value;
}

// The artwork is plain 24-bit BMP. Decoding it here, in one pass into the
// format the dialogs paint, takes a third of the time of Qt's reader, which
// is half of what the main window does at start. Any other kind of BMP is
// left to Qt's reader: a null image means "not one of ours".
QImage DecodePlainBmp(const QByteArray& data)
{
    if (data.size() < 54 || !data.startsWith("BM") || Le(data, 14, 4) < 40 ||
        Le(data, 26, 2) != 1 || Le(data, 28, 2) != 24 || Le(data, 30, 4) != 0)
        return {};
    const auto width = static_cast<qint32>(Le(data, 18, 4));
    const auto height = static_cast<qint32>(Le(data, 22, 4));
    const qint64 offset = Le(data, 10, 4);
    if (width <= 0 || width > 16384 || height == 0 || height < -16384 || height > 16384)
        return {};
    const int rows = height < 0 ? -height : height;
    const qint64 stride = (qint64(width) * 3 + 3) & ~qint64(3);
    if (offset < 54 || offset + stride * rows > data.size())
        return {};
    QImage image(width, rows, QImage::Format_RGB32);
    if (image.isNull())
        return {};
    const auto* pixels = reinterpret_cast<const uchar*>(data.constData()) + offset;
    for (int y = 0; y < rows; ++y) {
        // Rows are stored bottom-up unless the height is negative.
        const uchar* in = pixels + stride * (height < 0 ? y : rows - 1 - y);
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        // Blue, green, red read as one little-endian word are the pixel's
        // 0xRRGGBB: a third of the work of three byte reads. The row's last
        // pixel goes byte by byte, as a word would reach past the data.
        int x = 0;
        if constexpr (Q_BYTE_ORDER == Q_LITTLE_ENDIAN) {
            for (; x + 1 < width; ++x, in += 3) {
                quint32 word;
                std::memcpy(&word, in, sizeof word);
                out[x] = 0xff000000u | (word & 0x00ffffffu);
            }
        }
        for (; x < width; ++x, in += 3)
            out[x] = qRgb(in[2], in[1], in[0]);
    }
    return image;
}

// The stored art is read-only data of the mapped program file. Reading one
// picture maps its neighbours too (the kernel maps pages around a fault), so
// once a picture is unpacked the pages of all stored art are handed back; they
// are read again from the file should another picture be wanted.
void ReleaseStoredArt()
{
#ifdef __linux__
    static const auto [begin, end] = [] {
        quintptr first = ~quintptr(0), last = 0;
        for (int id : kBitmapIds) {
            for (const char* suffix : {"", "@2x"}) {
                const QResource stored(QStringLiteral(":/bitmaps/%1%2.bmp").arg(id).arg(suffix));
                const auto at = reinterpret_cast<quintptr>(stored.data());
                if (!stored.isValid() || !at)
                    continue;
                first = std::min(first, at);
                last = std::max(last, at + static_cast<quintptr>(stored.size()));
            }
        }
        // Whole pages only: the bytes around the art belong to other data.
        const auto page = static_cast<quintptr>(sysconf(_SC_PAGESIZE));
        return std::pair{(first + page - 1) & ~(page - 1), last & ~(page - 1)};
    }();
    if (end > begin)
        madvise(reinterpret_cast<void*>(begin), end - begin, MADV_DONTNEED);
#endif
}

QImage Decode(QByteArray stored)
{
    if (QImage image = DecodePlainBmp(stored); !image.isNull())
        return image;
    QBuffer buffer(&stored);
    // The format is named so that no image plugin is asked to guess it.
    QImageReader reader(&buffer, "BMP");
    reader.setAutoDetectImageFormat(false);
    return reader.read();
}

QImage ReadBitmap(const QString& path)
{
    RegisterResources();
    const QResource resource(path);
    if (!resource.isValid())
        return {};
    // The unpacked file lives only as long as the decoding. Freed, it stays
    // with the allocator, which keeps large blocks once one has been handed
    // back: give its pages to the system, or the picture costs twice. A face
    // is too small to be worth it.
    QImage image = Decode(resource.uncompressedData());
#ifdef __GLIBC__
    if (resource.uncompressedSize() >= 128 * 1024)
        malloc_trim(0);
#endif
    ReleaseStoredArt();
    return image;
}

} // namespace

QImage LoadBitmapResource(int id, qreal devicePixelRatio)
{
    if (id <= 0)
        return {};
    QImage image;
    if (devicePixelRatio > 1.0) {
        image = ReadBitmap(QStringLiteral(":/bitmaps/%1@2x.bmp").arg(id));
        if (!image.isNull())
            image.setDevicePixelRatio(2.0);
    }
    if (image.isNull())
        image = ReadBitmap(QStringLiteral(":/bitmaps/%1.bmp").arg(id));
    if (image.isNull())
        return {};
    // One pixel format for every face and page, so that painting and
    // comparisons do not depend on how a file happens to be stored.
    return image.convertToFormat(QImage::Format_RGB32);
}

const std::vector<int>& BitmapResourceIds()
{
    return kBitmapIds;
}

QIcon ApplicationIcon()
{
    // One picture, read as PNG (no plugin probing), once. Task bars and
    // switchers show it at 48 points or less; the 256 pixel picture took a
    // tenth of the start to unpack and to hand to the window system.
    static const QIcon icon = [] {
        RegisterResources();
        const bool dense = qApp && qApp->devicePixelRatio() > 1.0;
        QImageReader reader(dense ? QStringLiteral(":/icons/tavrolin-128.png")
                                  : QStringLiteral(":/icons/tavrolin-64.png"),
                            "PNG");
        reader.setAutoDetectImageFormat(false);
        return QIcon(QPixmap::fromImage(reader.read()));
    }();
    return icon;
}
