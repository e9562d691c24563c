#pragma once

#include <QIcon>
#include <QImage>

#include <memory>
#include <vector>

// The bitmap with this resource id, drawn for a screen with devicePixelRatio
// device pixels per pixel: above 1 the finer drawing (twice the pixels, device
// pixel ratio 2), which covers the same area as the plain one and stays sharp.
// Its natural size is image.deviceIndependentSize(). A null image when the
// program has no bitmap of that id.
QImage LoadBitmapResource(int id, qreal devicePixelRatio = 1.0);

// Unpacks these bitmaps for LoadBitmapResource on a thread of its own while the
// caller builds its window, for as long as it lives. A bitmap asked for before
// the thread came to it is unpacked by the caller, as without it.
class BitmapPrefetch
{
public:
    BitmapPrefetch(const std::vector<int>& ids, qreal devicePixelRatio);
    ~BitmapPrefetch();
    BitmapPrefetch(const BitmapPrefetch&) = delete;
    BitmapPrefetch& operator=(const BitmapPrefetch&) = delete;

    struct Work;

private:
    std::shared_ptr<Work> work;
};

// Every bitmap id the program carries, ascending.
const std::vector<int>& BitmapResourceIds();

// Icon resource 128. Loaded once; later calls hand out the same icon.
QIcon ApplicationIcon();
