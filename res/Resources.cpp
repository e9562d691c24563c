#include "Resources.h"

#include <QBuffer>
#include <QImageReader>
#include <QResource>
#include <QString>

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

QImage ReadBitmap(const QString& path)
{
    RegisterResources();
    const QResource resource(path);
    if (!resource.isValid())
        return {};
    // Unpacked into a buffer that lives only as long as the decoding.
    QByteArray stored = resource.uncompressedData();
    QBuffer buffer(&stored);
    // The format is named so that no image plugin is asked to guess it.
    QImageReader reader(&buffer, "BMP");
    reader.setAutoDetectImageFormat(false);
    return reader.read();
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
