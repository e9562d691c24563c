// Compares pictures by their decoded pixels, whatever file format holds them.
//
//   tavrolin-artwork-compare DRAWN COMMITTED
//
// Exit 0 when they match, 1 (with the reason on stderr) when they do not, 2 when
// either cannot be read.
//
// Why a tolerance, and why this one: the generator draws with antialiasing, and
// Qt blends antialiased edges and text through code picked by the CPU (SSE2,
// SSSE3, SSE4.1, AVX2, AVX-512 variants), whose roundings differ by a few units
// of a channel, in a handful of edge pixels. A change worth catching is never
// that small: a template control moved by one dialog unit shifts a one-pixel
// frame or rule, which turns whole rows of pixels between paper and ink (well
// over 100 units apart in every colour pair the artwork uses), and a change of
// the drawing without a redraw does the same to at least the pixels of one
// stroke. So a pixel counts as changed only beyond kChannelTolerance, and one
// changed pixel fails the comparison.
#include <QCoreApplication>
#include <QImage>
#include <QTextStream>

#include <algorithm>
#include <cstdlib>

namespace {

// Measured: CPU paths differ by at most 3 units; one dialog unit of movement
// changes pixels by 100 and more.
constexpr int kChannelTolerance = 24;

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
    // Unpremultiplied ARGB: the same colour compares equal however each file
    // stores it (24-bit BMP, PNG with or without alpha, palette).
    QImage drawn(QString::fromLocal8Bit(argv[1]));
    QImage committed(QString::fromLocal8Bit(argv[2]));
    for (const auto& [image, name] : {std::pair{&drawn, argv[1]}, std::pair{&committed, argv[2]}}) {
        if (image->isNull()) {
            err << name << ": cannot be read as a picture\n";
            return 2;
        }
        *image = image->convertToFormat(QImage::Format_ARGB32);
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
