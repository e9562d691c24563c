// The skin is one fixed light design: every skinned dialog and each of its
// controls is drawn with the same style and palette, whatever the desktop's
// theme, so that fields and lists never turn dark on a light background or
// take a theme's wider margins out of their template-sized boxes.
#pragma once

#include <QColor>

class QPalette;
class QStyle;

// Fusion, with drop-down lists that open as plain lists in the dialog's
// palette rather than as menus in the desktop's. Owned by the application.
QStyle* SkinStyle();

// Light colours in every group; disabled text in a grey that stays readable
// on the skin's paper colour.
const QPalette& SkinPalette();

// Contrast ratio of two colours as the accessibility guidelines define it,
// from 1 (same luminance) to 21 (black on white).
double ContrastRatio(const QColor& a, const QColor& b);
