#include "Resources.h"

#include <QBuffer>
#include <QImageReader>
#include <QResource>
#include <QString>

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

// Once a bitmap is decoded its stored bytes are not needed again: hand their
// pages of the mapped program file back rather than keep them resident. Only
// whole pages inside the bitmap's own bytes are given back.
void ReleaseStoredBytes(const uchar* data, qint64 size)
{
#ifdef __linux__
    const auto pageSize = static_cast<quintptr>(sysconf(_SC_PAGESIZE));
    const auto begin = reinterpret_cast<quintptr>(data);
    const quintptr first = (begin + pageSize - 1) & ~(pageSize - 1);
    const quintptr last = (begin + static_cast<quintptr>(size)) & ~(pageSize - 1);
    if (last > first)
        madvise(reinterpret_cast<void*>(first), last - first, MADV_DONTNEED);
#else
    Q_UNUSED(data);
    Q_UNUSED(size);
#endif
}

QImage ReadBitmap(const QString& path)
{
    RegisterResources();
    const QResource resource(path);
    if (!resource.isValid())
        return {};
    if (resource.compressionAlgorithm() != QResource::NoCompression) {
        QImageReader reader(path, "BMP");
        reader.setAutoDetectImageFormat(false);
        return reader.read();
    }
    // Read in place from the mapped program file, no copy of the stored bytes.
    QByteArray stored = QByteArray::fromRawData(reinterpret_cast<const char*>(resource.data()),
                                                static_cast<qsizetype>(resource.size()));
    QBuffer buffer(&stored);
    // The format is named so that no image plugin is asked to guess it.
    QImageReader reader(&buffer, "BMP");
    reader.setAutoDetectImageFormat(false);
    QImage image = reader.read();
    ReleaseStoredBytes(resource.data(), resource.size());
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
    // The icon's one picture, read as PNG (no plugin probing), once.
    static const QIcon icon = [] {
        RegisterResources();
        QImageReader reader(QStringLiteral(":/icons/tavrolin-256.png"), "PNG");
        reader.setAutoDetectImageFormat(false);
        return QIcon(QPixmap::fromImage(reader.read()));
    }();
    return icon;
}
