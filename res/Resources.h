#pragma once

#include <QIcon>
#include <QImage>

#include <vector>

// The bitmap with this resource id at its natural size; a null image when the
// program has no bitmap of that id.
QImage LoadBitmapResource(int id);

// Every bitmap id the program carries, ascending.
const std::vector<int>& BitmapResourceIds();

// Icon resource 128.
QIcon ApplicationIcon();
