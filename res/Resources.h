#pragma once

#include <QIcon>
#include <QImage>

#include <vector>

// The bitmap with this resource id, drawn for a screen with devicePixelRatio
// device pixels per pixel: above 1 the finer drawing (twice the pixels, device
// pixel ratio 2), which covers the same area as the plain one and stays sharp.
// Its natural size is image.deviceIndependentSize(). A null image when the
// program has no bitmap of that id.
QImage LoadBitmapResource(int id, qreal devicePixelRatio = 1.0);

// Every bitmap id the program carries, ascending.
const std::vector<int>& BitmapResourceIds();

// Icon resource 128. Loaded once; later calls hand out the same icon.
QIcon ApplicationIcon();
