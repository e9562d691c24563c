// Build step: turns the committed BMP art into what the program stores, each
// picture's pixels as the program paints them (32 bits, 0xffRRGGBB, rows top
// down) behind a 16-byte header: "TVA1", then width and height as 32-bit
// little-endian numbers, then 4 bytes of zero. Unpacked, such a file is the
// picture's memory as it is, with no decoding and no second copy.
//
//   tavrolin-pack-art OUT_DIR BMP...   (writes OUT_DIR/NAME.rgb32 for each)

#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QSaveFile>

#include <cstdio>

namespace {

void PutLe32(QByteArray& out, quint32 value)
{
    for (int i = 0; i < 4; ++i)
        out.append(static_cast<char>(value >> (8 * i) & 0xff));
}

bool Pack(const QString& bmp, const QString& outDir)
{
    QImageReader reader(bmp, "BMP");
    reader.setAutoDetectImageFormat(false);
    const QImage image = reader.read().convertToFormat(QImage::Format_RGB32);
    if (image.isNull()) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(bmp), qPrintable(reader.errorString()));
        return false;
    }
    QByteArray out("TVA1");
    PutLe32(out, static_cast<quint32>(image.width()));
    PutLe32(out, static_cast<quint32>(image.height()));
    PutLe32(out, 0);
    const qsizetype line = qsizetype(image.width()) * 4;
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            PutLe32(out, row[x] | 0xff000000u);
    }
    Q_ASSERT(out.size() == 16 + line * image.height());
    QSaveFile file(outDir + QLatin1Char('/') + QFileInfo(bmp).completeBaseName() +
                   QStringLiteral(".rgb32"));
    if (!file.open(QIODevice::WriteOnly) || file.write(out) != out.size() || !file.commit()) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(file.fileName()),
                     qPrintable(file.errorString()));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: tavrolin-pack-art OUT_DIR BMP...\n");
        return 2;
    }
    const QString outDir = QString::fromLocal8Bit(argv[1]);
    for (int i = 2; i < argc; ++i) {
        if (!Pack(QString::fromLocal8Bit(argv[i]), outDir))
            return 1;
    }
    return 0;
}
