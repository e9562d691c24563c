#include "Resources.h"

#include <QString>

namespace {

const std::vector<int> kBitmapIds = {134, 135, 136, 137, 138, 142, 143, 144, 145, 146, 147,
                                     148, 158, 159, 160, 161, 162, 163, 164, 165, 170, 172,
                                     173, 174, 175, 176, 177, 178, 179, 180, 181};

} // namespace

QImage LoadBitmapResource(int id)
{
    if (id <= 0)
        return {};
    QImage image(QStringLiteral(":/bitmaps/%1.bmp").arg(id), "BMP");
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
    return QIcon(QStringLiteral(":/icons/tavrolin-256.png"));
}
