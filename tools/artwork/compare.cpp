// Compares pictures by their decoded pixels, whatever file format holds them.
//
//   tavrolin-artwork-compare DRAWN COMMITTED
//
// Exit 0 when they match, 1 (with the reason on stderr) when they do not, 2 when
// either cannot be read.
//
// Why a tolerance, and why this one: the generator draws with antialiasing, and
// Qt blends antialiased edges through code picked by the CPU (SSE2, SSSE3,
// SSE4.1, AVX2, AVX-512 variants), whose roundings differ. Drawn on five CPU
// models (an AVX-512 Xeon; SSE2, SSSE3, SSE4.2 and AVX2 ones emulated by
// qemu), with Qt 6.4 and 6.8, the bitmaps came out identical and the icons
// differed in 1 to 78 edge pixels, each by at most 1 unit of a channel. A
// change worth catching is never that small: a template control moved by one
// dialog unit shifts frames and rules, which turns a thousand pixels and more
// between paper and ink (over 200 units apart), and any visible change of the
// drawing moves at least one stroke by more than a few units. So a pixel
// counts as changed only beyond kChannelTolerance, and one changed pixel fails
// the comparison.
#include <QCoreApplication>
#include <QImage>
#include <QTextStream>

#include <algorithm>
#include <cstdlib>

namespace {

constexpr int kChannelTolerance = 4;

int ChannelDistance(QRgb a, QRgb b)
{
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                     std::abs(qBlue(a) - qBlue(b)), std::abs(qAlpha(a) - qAlpha(b))});
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTextStream err(stderr);
    if (argc != 3) {
        err << "usage: tavrolin-artwork-compare DRAWN COMMITTED\n";
        return 2;
    }
    // Decoded to one format, the same colour compares equal however each file
    // stores it (24-bit BMP, PNG with or without alpha, palette). Premultiplied,
    // so that a pixel weighs as much as it shows: the colour of a nearly
    // transparent icon edge rounds to very different values.
    QImage drawn(QString::fromLocal8Bit(argv[1]));
    QImage committed(QString::fromLocal8Bit(argv[2]));
    for (const auto& [image, name] : {std::pair{&drawn, argv[1]}, std::pair{&committed, argv[2]}}) {
        if (image->isNull()) {
            err << name << ": cannot be read as a picture\n";
            return 2;
        }
        *image = image->convertToFormat(QImage::Format_ARGB32_Premultiplied);
    }
    if (drawn.size() != committed.size()) {
        err << "size " << committed.width() << "x" << committed.height() << ", drawn "
            << drawn.width() << "x" << drawn.height() << "\n";
        return 1;
    }
    int changed = 0, largest = 0, firstX = -1, firstY = -1;
    for (int y = 0; y < drawn.height(); ++y) {
        const auto* a = reinterpret_cast<const QRgb*>(drawn.constScanLine(y));
        const auto* b = reinterpret_cast<const QRgb*>(committed.constScanLine(y));
        for (int x = 0; x < drawn.width(); ++x) {
            const int distance = ChannelDistance(a[x], b[x]);
            largest = std::max(largest, distance);
            if (distance > kChannelTolerance && changed++ == 0) {
                firstX = x;
                firstY = y;
            }
        }
    }
    if (changed == 0)
        return 0;
    err << changed << " pixels differ by more than " << kChannelTolerance << " (up to " << largest
        << "), the first at " << firstX << "," << firstY << "\n";
    return 1;
}
