#include "SkinLook.h"

#include <QApplication>
#include <QPalette>
#include <QProxyStyle>
#include <QStyleFactory>

#include <algorithm>
#include <cmath>

namespace {

class FusionSkinStyle : public QProxyStyle
{
public:
    FusionSkinStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        // A menu-like popup takes the desktop's menu colours.
        if (hint == SH_ComboBox_Popup)
            return 0;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

// Disabled captions stay greyed but readable: well above 4.5:1 on the paper
// colour, where most themes' disabled grey gives less than 2:1.
const QColor kDisabledText(0x60, 0x60, 0x60);

QPalette MakeSkinPalette()
{
    QPalette palette;
    const auto set = [&palette](QPalette::ColorRole role, const QColor& colour) {
        palette.setColor(QPalette::All, role, colour);
    };
    set(QPalette::Window, QColor(0xF2, 0xF4, 0xF7));
    set(QPalette::WindowText, QColor(0x1D, 0x33, 0x52));
    set(QPalette::Base, Qt::white);
    set(QPalette::AlternateBase, QColor(0xF4, 0xF6, 0xF9));
    set(QPalette::Text, Qt::black);
    set(QPalette::PlaceholderText, QColor(0x6E, 0x6E, 0x6E));
    set(QPalette::Button, QColor(0xEC, 0xEF, 0xF3));
    set(QPalette::ButtonText, Qt::black);
    set(QPalette::BrightText, Qt::white);
    set(QPalette::Light, Qt::white);
    set(QPalette::Midlight, QColor(0xE3, 0xE7, 0xEC));
    set(QPalette::Mid, QColor(0xB4, 0xC0, 0xCF));
    set(QPalette::Dark, QColor(0x7E, 0x90, 0xA8));
    set(QPalette::Shadow, QColor(0x3A, 0x44, 0x52));
    set(QPalette::Highlight, QColor(0x30, 0x8C, 0xC6));
    set(QPalette::HighlightedText, Qt::white);
    set(QPalette::Link, QColor(0x1D, 0x4E, 0x9E));
    set(QPalette::LinkVisited, QColor(0x6A, 0x2E, 0x9E));
    set(QPalette::ToolTipBase, QColor(0xFF, 0xFF, 0xDC));
    set(QPalette::ToolTipText, Qt::black);
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, kDisabledText);
    palette.setColor(QPalette::Disabled, QPalette::Base, QColor(0xF4, 0xF6, 0xF9));
    palette.setColor(QPalette::Disabled, QPalette::Highlight, QColor(0x91, 0x91, 0x91));
    return palette;
}

double Luminance(const QColor& colour)
{
    const auto linear = [](double c) {
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) +
           0.0722 * linear(colour.blueF());
}

} // namespace

QStyle* SkinStyle()
{
    static QStyle* style = [] {
        QStyle* made = new FusionSkinStyle;
        // Lives as long as the application, like the application's own style.
        made->setParent(qApp);
        return made;
    }();
    return style;
}

const QPalette& SkinPalette()
{
    static const QPalette palette = MakeSkinPalette();
    return palette;
}

double ContrastRatio(const QColor& a, const QColor& b)
{
    const double la = Luminance(a);
    const double lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}
