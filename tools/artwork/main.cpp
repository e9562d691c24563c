// Draws every bitmap and the icon of Tavrolin: dialog backgrounds, button faces,
// model pictures and the application icon. tools/artwork/make-artwork runs it;
// the outputs are committed so that a build needs neither this tool nor the fonts.
//
//   tavrolin-artwork <res-dir>   writes <res-dir>/bitmaps/<id>.bmp, <id>@2x.bmp and
//                                icons/tavrolin-<size>.png
//
// Every control position comes from the program's own dialog templates
// (res/DialogTemplates.cpp is compiled in). A background drawn around those positions
// is checked against them first: when a changed template no longer fits the picture,
// the tool stops without writing anything. tools/render-dialogs shows the result.

#include "receiver/PresenterFamilies.h"
#include "res/DialogTemplates.h"

#include <QDir>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QString>
#include <QStringList>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr int kBackgroundWidth = 425;
constexpr int kBackgroundHeight = 320;
constexpr int kFaceWidth = 85;
constexpr int kFaceHeight = 25;

const QColor kPaper(0xF2, 0xF4, 0xF7);
const QColor kInk(0x1D, 0x33, 0x52);
const QColor kInkSoft(0x55, 0x65, 0x7C);
const QColor kAccent(0xE2, 0x6D, 0x1B);
const QColor kPanel(0xDD, 0xE5, 0xEE);
const QColor kFrame(0x7E, 0x90, 0xA8);
const QColor kHeaderTop(0x27, 0x45, 0x6C);
const QColor kHeaderBottom(0x18, 0x2C, 0x47);

const char* const kLatinFamily = "DejaVu Sans";
const char* const kHangulFamily = "Noto Sans CJK KR";

[[noreturn]] void Fail(const QString& what)
{
    std::fprintf(stderr, "tavrolin-artwork: %s\n", qPrintable(what));
    std::exit(1);
}

// ---------------------------------------------------------------------------
// Template data, in pixels.

const DialogTemplate& TemplateOf(int templateId)
{
    const DialogTemplate* dialog = FindDialogTemplate(templateId);
    if (!dialog)
        Fail(QStringLiteral("there is no dialog template %1").arg(templateId));
    return *dialog;
}

const ControlTemplate& ControlOf(const DialogTemplate& dialog, int controlId)
{
    for (const ControlTemplate& control : dialog.controls)
        if (control.id == controlId)
            return control;
    Fail(QStringLiteral("dialog template %1 has no control %2").arg(dialog.id).arg(controlId));
}

QRect PixelRect(const ControlTemplate& control)
{
    return QRect(control.x * kPixelsPerDialogUnit, control.y * kPixelsPerDialogUnit,
                 control.cx * kPixelsPerDialogUnit, control.cy * kPixelsPerDialogUnit);
}

QSize DialogSize(const DialogTemplate& dialog)
{
    return QSize(dialog.cx * kPixelsPerDialogUnit, dialog.cy * kPixelsPerDialogUnit);
}

// A bitmap button sizes itself to its face, keeping the template's top-left corner.
QRect FaceRect(const ControlTemplate& button)
{
    return QRect(PixelRect(button).topLeft(), QSize(kFaceWidth, kFaceHeight));
}

std::vector<QRect> ButtonFaces(const DialogTemplate& dialog)
{
    std::vector<QRect> faces;
    for (const ControlTemplate& control : dialog.controls)
        if (control.cls == ControlClass::Button && control.visible)
            faces.push_back(FaceRect(control));
    return faces;
}

// A substituted font would silently change every picture, so refuse to draw with one.
QFont MakeFont(const char* family, int pixelSize, bool bold, qreal letterSpacing = 0)
{
    QFont font(QString::fromLatin1(family));
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setStyleStrategy(QFont::PreferAntialias);
    if (letterSpacing != 0)
        font.setLetterSpacing(QFont::AbsoluteSpacing, letterSpacing);
    const QFontInfo info(font);
    if (info.family() != font.family())
        Fail(QStringLiteral("font \"%1\" is not installed (got \"%2\")")
                 .arg(font.family(), info.family()));
    return font;
}

// Every picture is drawn once per scale: 1 for ordinary screens, 2 for screens with
// two device pixels per pixel. Drawing code works in 1x pixels throughout; the
// painter's scale does the rest, so the 2x picture is the same drawing, finer.
int gScale = 1;

QImage NewCanvas(int width, int height, const QColor& fill)
{
    QImage image(width * gScale, height * gScale, QImage::Format_RGB32);
    image.fill(fill);
    return image;
}

// Left as it is at 1x, so that the 1x pictures stay exactly what they always were.
void ScaleToArt(QPainter& p)
{
    if (gScale != 1)
        p.scale(gScale, gScale);
}

// Nothing is written until every picture has been drawn, so that a template that no
// longer fits leaves the committed pictures as they are.
struct Output
{
    QString path;
    QImage image;
    const char* format;
};

std::vector<Output>& PendingOutputs()
{
    static std::vector<Output> pending;
    return pending;
}

void SaveBitmap(const QImage& image, const QString& dir, int id)
{
    // Qt's naming of a picture for two device pixels per pixel.
    const QString suffix = gScale == 1 ? QString() : QStringLiteral("@%1x").arg(gScale);
    PendingOutputs().push_back({QStringLiteral("%1/%2%3.bmp").arg(dir).arg(id).arg(suffix),
                                image.convertToFormat(QImage::Format_RGB888), "BMP"});
}

void WriteOutputs()
{
    for (const Output& output : PendingOutputs())
        if (!output.image.save(output.path, output.format))
            Fail(QStringLiteral("cannot write %1").arg(output.path));
}

// ---------------------------------------------------------------------------
// Symbols, shared by presenter keys and the QN family's labels.

enum class Glyph
{
    None,
    Up,
    Down,
    Left,
    Right,
    Play,
    Stop,
    Cross,
    BlackScreen,
    Slideshow,
    Switch
};

void DrawGlyph(QPainter& p, Glyph glyph, QPointF c, qreal s, const QColor& colour)
{
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    const qreal x = c.x();
    const qreal y = c.y();
    switch (glyph) {
    case Glyph::None:
        break;
    case Glyph::Up:
        p.drawPolygon(QPolygonF({{x, y - s * 0.8}, {x + s, y + s * 0.6}, {x - s, y + s * 0.6}}));
        break;
    case Glyph::Down:
        p.drawPolygon(QPolygonF({{x, y + s * 0.8}, {x + s, y - s * 0.6}, {x - s, y - s * 0.6}}));
        break;
    case Glyph::Left:
        p.drawPolygon(QPolygonF({{x - s * 0.8, y}, {x + s * 0.6, y - s}, {x + s * 0.6, y + s}}));
        break;
    case Glyph::Right:
        p.drawPolygon(QPolygonF({{x + s * 0.8, y}, {x - s * 0.6, y - s}, {x - s * 0.6, y + s}}));
        break;
    case Glyph::Play:
        p.drawPolygon(QPolygonF(
            {{x + s * 0.85, y}, {x - s * 0.55, y - s * 0.85}, {x - s * 0.55, y + s * 0.85}}));
        break;
    case Glyph::Stop:
        p.drawRect(QRectF(x - s * 0.65, y - s * 0.65, s * 1.3, s * 1.3));
        break;
    case Glyph::Cross: {
        QPen pen(colour, s * 0.38, Qt::SolidLine, Qt::RoundCap);
        p.setPen(pen);
        p.drawLine(QPointF(x - s * 0.7, y - s * 0.7), QPointF(x + s * 0.7, y + s * 0.7));
        p.drawLine(QPointF(x + s * 0.7, y - s * 0.7), QPointF(x - s * 0.7, y + s * 0.7));
        break;
    }
    case Glyph::BlackScreen: {
        // A monitor whose picture is switched off.
        p.drawRoundedRect(QRectF(x - s, y - s * 0.75, s * 2, s * 1.35), s * 0.15, s * 0.15);
        p.drawRect(QRectF(x - s * 0.12, y + s * 0.6, s * 0.24, s * 0.3));
        p.drawRect(QRectF(x - s * 0.5, y + s * 0.85, s, s * 0.18));
        break;
    }
    case Glyph::Slideshow: {
        QPen pen(colour, std::max<qreal>(1.0, s * 0.16));
        pen.setJoinStyle(Qt::RoundJoin);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(x - s, y - s * 0.72, s * 2, s * 1.44), s * 0.15, s * 0.15);
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        p.drawPolygon(QPolygonF(
            {{x + s * 0.5, y}, {x - s * 0.3, y - s * 0.45}, {x - s * 0.3, y + s * 0.45}}));
        break;
    }
    case Glyph::Switch: {
        // Two overlapping windows: switching between programs.
        QPen pen(colour, std::max<qreal>(1.0, s * 0.16));
        pen.setJoinStyle(Qt::MiterJoin);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(x - s * 0.95, y - s * 0.8, s * 1.3, s * 1.0));
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        p.drawRect(QRectF(x - s * 0.3, y - s * 0.2, s * 1.3, s * 1.0));
        break;
    }
    }
    p.restore();
}

// ---------------------------------------------------------------------------
// The maker's mark: a rounded tile with a "T" whose stem points at a laser dot.
// res/icons/tavrolin.svg draws the same shapes.

void DrawMark(QPainter& p, const QRectF& r)
{
    p.save();
    p.translate(r.topLeft());
    p.scale(r.width() / 256.0, r.height() / 256.0);
    QLinearGradient tile(0, 8, 0, 248);
    tile.setColorAt(0, QColor(0x2E, 0x52, 0x82));
    tile.setColorAt(1, QColor(0x14, 0x26, 0x3E));
    p.setPen(Qt::NoPen);
    p.setBrush(tile);
    p.drawRoundedRect(QRectF(8, 8, 240, 240), 52, 52);
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(52, 58, 152, 38), 10, 10);
    p.drawRoundedRect(QRectF(109, 58, 38, 118), 10, 10);
    QRadialGradient glow(QPointF(128, 204), 34);
    glow.setColorAt(0, QColor(0xE2, 0x6D, 0x1B, 150));
    glow.setColorAt(1, QColor(0xE2, 0x6D, 0x1B, 0));
    p.setBrush(glow);
    p.drawEllipse(QPointF(128, 204), 34, 34);
    p.setBrush(kAccent);
    p.drawEllipse(QPointF(128, 204), 16, 16);
    p.restore();
}

// ---------------------------------------------------------------------------
// Presenters. Each family has a body outline in its own design coordinates
// (origin at the top centre, 1 unit = 1 pixel at scale 1); models differ in colour
// and detail. Keys carry the slot they are programmed in (0 = not programmable).

enum class Family
{
    Lt,
    Rv,
    Qn
};

struct Look
{
    QColor body;
    QColor bodyLight;
    QColor panel;
    QColor key;
    QColor keyGlyph;
    QColor trim;
    QColor lens;
};

struct Key
{
    QPointF centre;
    qreal radius;
    Glyph glyph;
    int slot;
    bool onPad; // drawn as part of a pad, so only its symbol is painted
};

struct Presenter
{
    const char* name;
    Family family;
    Look look;
    std::vector<Key> keys;
};

qreal BodyHeight(Family family)
{
    switch (family) {
    case Family::Lt:
        return 212;
    case Family::Rv:
        return 212;
    case Family::Qn:
        return 206;
    }
    return 212;
}

QPainterPath BodyPath(Family family)
{
    QPainterPath path;
    switch (family) {
    case Family::Lt:
        path.addRoundedRect(QRectF(-24, 0, 48, 212), 24, 24);
        break;
    case Family::Rv:
        // A pebble, slightly wider towards the grip.
        path.moveTo(0, 0);
        path.cubicTo(26, 0, 37, 8, 38, 40);
        path.lineTo(41, 170);
        path.cubicTo(42, 204, 26, 212, 0, 212);
        path.cubicTo(-26, 212, -42, 204, -41, 170);
        path.lineTo(-38, 40);
        path.cubicTo(-37, 8, -26, 0, 0, 0);
        path.closeSubpath();
        break;
    case Family::Qn:
        // The "Vela" sail: narrow head, full belly.
        path.moveTo(0, 0);
        path.cubicTo(26, 0, 40, 18, 42, 80);
        path.cubicTo(44, 160, 38, 206, 0, 206);
        path.cubicTo(-38, 206, -44, 160, -42, 80);
        path.cubicTo(-40, 18, -26, 0, 0, 0);
        path.closeSubpath();
        break;
    }
    return path;
}

const std::vector<Presenter>& Presenters()
{
    static const std::vector<Presenter> all = [] {
        const Look lt61{QColor(0x2B, 0x2F, 0x36), QColor(0x55, 0x5C, 0x67),
                        QColor(0x1B, 0x1E, 0x23), QColor(0xD9, 0xDD, 0xE3),
                        QColor(0x2B, 0x2F, 0x36), QColor(0xB9, 0xC0, 0xCA),
                        QColor(0xB0, 0x2A, 0x1E)};
        const Look lt61p{QColor(0x1F, 0x3D, 0x66), QColor(0x44, 0x6A, 0x9E),
                         QColor(0x15, 0x2A, 0x46), QColor(0xE8, 0xEC, 0xF1),
                         QColor(0x1F, 0x3D, 0x66), QColor(0xC8, 0xCE, 0xD6),
                         QColor(0xB0, 0x2A, 0x1E)};
        const Look lt65{QColor(0xB4, 0xBA, 0xC2), QColor(0xEC, 0xEE, 0xF1),
                        QColor(0x8C, 0x94, 0x9E), QColor(0x2E, 0x32, 0x38),
                        QColor(0xF0, 0xF2, 0xF5), QColor(0x55, 0x5D, 0x69),
                        QColor(0x1F, 0x9A, 0x3E)};
        const Look rv80{QColor(0x26, 0x29, 0x2E), QColor(0x4E, 0x54, 0x5D),
                        QColor(0x17, 0x19, 0x1C), QColor(0x5E, 0x65, 0x6F),
                        QColor(0xF2, 0xF4, 0xF7), QColor(0xA2, 0xAA, 0xB5),
                        QColor(0xC0, 0x2E, 0x20)};
        const Look rv80g{QColor(0x3B, 0x48, 0x42), QColor(0x66, 0x77, 0x6F),
                         QColor(0x28, 0x31, 0x2D), QColor(0x5F, 0x70, 0x68),
                         QColor(0xF2, 0xF7, 0xF4), QColor(0x6F, 0xD0, 0x82),
                         QColor(0x2F, 0xBF, 0x4F)};
        const Look qn95{QColor(0xE9, 0xEC, 0xF0), QColor(0xFF, 0xFF, 0xFF),
                        QColor(0x2F, 0x6F, 0xB5), QColor(0xD6, 0xDC, 0xE4),
                        QColor(0x24, 0x35, 0x4C), QColor(0x2F, 0x6F, 0xB5),
                        QColor(0xB0, 0x2A, 0x1E)};
        const Look qn70{QColor(0xD4, 0xA4, 0x8C), QColor(0xF3, 0xD3, 0xC2),
                        QColor(0xF7, 0xEF, 0xEA), QColor(0xF4, 0xE4, 0xDA),
                        QColor(0x7A, 0x46, 0x30), QColor(0xA8, 0x72, 0x5A),
                        QColor(0xB0, 0x2A, 0x1E)};
        const Look qn90{QColor(0x38, 0x3B, 0x40), QColor(0x62, 0x67, 0x6F),
                        QColor(0xE2, 0x6D, 0x1B), QColor(0x52, 0x57, 0x5E),
                        QColor(0xFF, 0xFF, 0xFF), QColor(0xE2, 0x6D, 0x1B),
                        QColor(0xB0, 0x2A, 0x1E)};

        const std::vector<Key> twoKeys{
            {{0, 70}, 11, Glyph::Up, 1, false},
            {{0, 104}, 11, Glyph::Down, 2, false},
            {{0, 140}, 7, Glyph::None, 0, false},
        };
        const std::vector<Key> fiveStick{
            {{-11, 64}, 9, Glyph::Left, 1, false},       {{11, 64}, 9, Glyph::Right, 2, false},
            {{0, 100}, 9, Glyph::BlackScreen, 3, false}, {{0, 128}, 9, Glyph::Play, 4, false},
            {{0, 156}, 9, Glyph::Stop, 5, false},        {{0, 180}, 6, Glyph::None, 0, false},
        };
        const std::vector<Key> sevenKeys{
            {{-16, 46}, 9, Glyph::BlackScreen, 1, false}, {{16, 46}, 9, Glyph::Up, 3, false},
            {{-16, 92}, 9, Glyph::Down, 2, false},        {{16, 84}, 9, Glyph::Play, 4, false},
            {{16, 112}, 9, Glyph::Stop, 5, false},        {{-16, 122}, 6, Glyph::None, 0, false},
            {{-15, 164}, 9, Glyph::Left, 6, true},        {{15, 164}, 9, Glyph::Right, 7, true},
        };
        const std::vector<Key> sailKeys{
            {{-18, 50}, 10, Glyph::Slideshow, 1, false}, {{18, 50}, 10, Glyph::Switch, 3, false},
            {{-18, 84}, 10, Glyph::Cross, 2, false},     {{18, 84}, 7, Glyph::None, 0, false},
            {{-19, 142}, 9, Glyph::Left, 4, true},       {{19, 142}, 9, Glyph::Right, 5, true},
        };
        return std::vector<Presenter>{
            {"LT-61", Family::Lt, lt61, twoKeys},       {"LT-61P", Family::Lt, lt61p, fiveStick},
            {"LT-65", Family::Lt, lt65, fiveStick},     {"RV-80", Family::Rv, rv80, sevenKeys},
            {"RV-80G", Family::Rv, rv80g, sevenKeys},   {"QN-95 Vela", Family::Qn, qn95, sailKeys},
            {"QN-70 Vela", Family::Qn, qn70, sailKeys}, {"QN-90", Family::Qn, qn90, sailKeys},
        };
    }();
    return all;
}

const Presenter& FindPresenter(const char* name)
{
    for (const Presenter& presenter : Presenters())
        if (qstrcmp(presenter.name, name) == 0)
            return presenter;
    Fail(QStringLiteral("no presenter named %1").arg(QString::fromLatin1(name)));
}

const Key& KeyOfSlot(const Presenter& presenter, int slot)
{
    for (const Key& key : presenter.keys)
        if (key.slot == slot)
            return key;
    Fail(QStringLiteral("%1 has no key in slot %2")
             .arg(QString::fromLatin1(presenter.name))
             .arg(slot));
}

void DrawRoundKey(QPainter& p, const Key& key, const Look& look)
{
    const QPointF c = key.centre;
    const qreal r = key.radius;
    const bool laser = key.slot == 0;
    const QColor face = laser ? look.lens : look.key;
    p.setPen(QPen(look.panel.darker(130), 1.0));
    p.setBrush(look.panel.darker(115));
    p.drawEllipse(c + QPointF(0, 0.8), r + 1.4, r + 1.4);
    QRadialGradient shade(c + QPointF(-r * 0.35, -r * 0.4), r * 1.6);
    shade.setColorAt(0, face.lighter(135));
    shade.setColorAt(1, face.darker(118));
    p.setPen(QPen(face.darker(150), 0.8));
    p.setBrush(shade);
    p.drawEllipse(c, r, r);
    if (laser) {
        // The laser key: a small star-burst instead of a symbol.
        p.setPen(QPen(QColor(255, 255, 255, 200), 1.0, Qt::SolidLine, Qt::RoundCap));
        for (int i = 0; i < 4; ++i) {
            const qreal a = i * M_PI / 4;
            const QPointF d(std::cos(a) * r * 0.5, std::sin(a) * r * 0.5);
            p.drawLine(c - d, c + d);
        }
        return;
    }
    DrawGlyph(p, key.glyph, c, r * 0.5, look.keyGlyph);
}

// Draws the presenter in its design coordinates (the painter's transform places it).
void DrawPresenter(QPainter& p, const Presenter& m)
{
    const Look& look = m.look;
    const QPainterPath body = BodyPath(m.family);
    const QRectF bounds = body.boundingRect();
    p.save();
    p.setRenderHint(QPainter::Antialiasing);

    // Soft drop shadow.
    for (int i = 3; i >= 1; --i) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 0, 22));
        p.drawPath(body.translated(1.5 * i, 2.0 * i));
    }

    QLinearGradient shade(bounds.left(), 0, bounds.right(), 0);
    shade.setColorAt(0.0, look.body.darker(135));
    shade.setColorAt(0.3, look.bodyLight);
    shade.setColorAt(0.55, look.body);
    shade.setColorAt(1.0, look.body.darker(150));
    p.setPen(QPen(look.body.darker(190), 1.2));
    p.setBrush(shade);
    p.drawPath(body);

    p.save();
    p.setClipPath(body);
    switch (m.family) {
    case Family::Lt: {
        // Metal cap with the laser window, a trim ring, and the key strip.
        QLinearGradient cap(bounds.left(), 0, bounds.right(), 0);
        cap.setColorAt(0, look.trim.darker(140));
        cap.setColorAt(0.35, look.trim.lighter(125));
        cap.setColorAt(1, look.trim.darker(150));
        p.setPen(Qt::NoPen);
        p.setBrush(cap);
        p.drawRect(QRectF(-30, 0, 60, 30));
        p.setBrush(look.body.darker(170));
        p.drawRect(QRectF(-30, 30, 60, 2));
        p.setBrush(cap);
        p.drawRect(QRectF(-30, 196, 60, 4));
        p.setBrush(look.lens.darker(160));
        p.drawEllipse(QPointF(0, 9), 8, 5);
        p.setBrush(look.lens);
        p.drawEllipse(QPointF(0, 9), 4.5, 3);
        const bool fiveKeys = m.keys.size() > 3;
        const QRectF strip = fiveKeys ? QRectF(-19, 46, 38, 144) : QRectF(-15, 52, 30, 104);
        p.setPen(QPen(look.panel.darker(140), 1));
        p.setBrush(look.panel);
        p.drawRoundedRect(strip, 15, 15);
        if (fiveKeys) {
            // Status LED above the keys.
            p.setPen(Qt::NoPen);
            p.setBrush(look.trim.lighter(110));
            p.drawEllipse(QPointF(0, 40), 2, 2);
        } else {
            // Grip ribs below the keys.
            p.setPen(QPen(look.body.darker(160), 1.2));
            for (int y = 164; y <= 184; y += 5)
                p.drawLine(QPointF(-12, y), QPointF(12, y));
        }
        break;
    }
    case Family::Rv: {
        p.setPen(Qt::NoPen);
        p.setBrush(look.panel);
        p.drawRoundedRect(QRectF(-34, 24, 68, 180), 26, 26);
        // Laser window across the head.
        p.setBrush(look.body.darker(200));
        p.drawRoundedRect(QRectF(-20, 5, 40, 10), 5, 5);
        p.setBrush(look.lens);
        p.drawEllipse(QPointF(0, 10), 3.5, 3.5);
        // Trim line along the edge.
        p.setPen(QPen(look.trim, 1.2));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(-34, 24, 68, 180), 26, 26);
        // Navigation pad: previous / next halves.
        const QPointF pad(0, 164);
        const qreal pr = 30;
        QRadialGradient padShade(pad + QPointF(-10, -12), pr * 1.6);
        padShade.setColorAt(0, look.key.lighter(140));
        padShade.setColorAt(1, look.key.darker(120));
        p.setPen(QPen(look.panel.darker(140), 1.2));
        p.setBrush(padShade);
        p.drawEllipse(pad, pr, pr);
        p.setPen(QPen(look.panel, 2.5));
        p.drawLine(pad + QPointF(0, -pr), pad + QPointF(0, pr));
        // Brand dot for the green-laser model.
        if (look.trim.green() > look.trim.red() + 40) {
            p.setPen(Qt::NoPen);
            p.setBrush(look.trim);
            p.drawEllipse(QPointF(0, 198), 2.5, 2.5);
        }
        break;
    }
    case Family::Qn: {
        // Head band with the laser window, then a ring pad for previous / next.
        p.setPen(Qt::NoPen);
        p.setBrush(look.trim);
        p.drawRect(QRectF(-50, 22, 100, 3));
        p.setBrush(look.body.darker(170));
        p.drawRoundedRect(QRectF(-8, 7, 16, 8), 4, 4);
        p.setBrush(look.lens);
        p.drawEllipse(QPointF(0, 11), 2.5, 2.5);
        const QPointF ring(0, 142);
        const qreal outer = 33;
        const qreal inner = 11;
        p.setPen(QPen(look.panel.darker(140), 1.2));
        QRadialGradient ringShade(ring + QPointF(-10, -12), outer * 1.6);
        ringShade.setColorAt(0, look.panel.lighter(130));
        ringShade.setColorAt(1, look.panel.darker(115));
        p.setBrush(ringShade);
        p.drawEllipse(ring, outer, outer);
        p.setPen(QPen(look.body, 2.2));
        p.drawLine(ring + QPointF(0, -outer), ring + QPointF(0, -inner));
        p.drawLine(ring + QPointF(0, inner), ring + QPointF(0, outer));
        p.setPen(QPen(look.panel.darker(140), 1));
        p.setBrush(look.body.lighter(110));
        p.drawEllipse(ring, inner, inner);
        // Wordmark stripe near the tail.
        p.setPen(QPen(look.trim, 1.5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(-10, 192), QPointF(10, 192));
        break;
    }
    }
    p.restore();

    for (const Key& key : m.keys) {
        if (key.onPad) {
            // The pad is the key colour on RV bodies and the ring colour on QN bodies.
            const QColor pad = m.family == Family::Qn ? look.panel : look.key;
            const QColor glyph = pad.lightness() > 150 ? look.keyGlyph : QColor(Qt::white);
            DrawGlyph(p, key.glyph, key.centre, key.radius * 0.7, glyph);
        } else {
            DrawRoundKey(p, key, look);
        }
    }
    p.restore();
}

// ---------------------------------------------------------------------------
// Button faces.

void DrawFace(const QString& caption, bool pressed, const QString& dir, int id)
{
    QImage image = NewCanvas(kFaceWidth, kFaceHeight, kPaper);
    QPainter p(&image);
    ScaleToArt(p);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QRectF r(0.5, 0.5, kFaceWidth - 1, kFaceHeight - 1);
    QLinearGradient fill(0, 0, 0, kFaceHeight);
    if (pressed) {
        fill.setColorAt(0, QColor(0x33, 0x58, 0x86));
        fill.setColorAt(1, QColor(0x17, 0x2C, 0x4A));
        p.setPen(QPen(QColor(0x0E, 0x1D, 0x33), 1));
    } else {
        fill.setColorAt(0, QColor(0xFF, 0xFF, 0xFF));
        fill.setColorAt(1, QColor(0xD6, 0xDE, 0xE8));
        p.setPen(QPen(kInk, 1));
    }
    p.setBrush(fill);
    p.drawRoundedRect(r, 6, 6);
    // Accent line under the caption on the normal face; the pressed face sinks by a pixel.
    if (!pressed) {
        p.setPen(QPen(QColor(255, 255, 255), 1));
        p.drawLine(QPointF(6, 1.5), QPointF(kFaceWidth - 6, 1.5));
    }
    p.setFont(MakeFont(kLatinFamily, 12, true, 1.2));
    p.setPen(pressed ? QColor(Qt::white) : kInk);
    p.drawText(QRectF(0, pressed ? 1 : 0, kFaceWidth, kFaceHeight), Qt::AlignCenter, caption);
    p.end();
    SaveBitmap(image, dir, id);
}

void DrawFaces(const QString& dir)
{
    struct Pair
    {
        const char* caption;
        int normal;
        int pressed;
    };
    const Pair pairs[] = {{"OK", 136, 135},    {"EXIT", 138, 137}, {"HELP", 143, 142},
                          {"RESET", 146, 145}, {"LOAD", 148, 147}, {"BACK", 178, 177}};
    for (const Pair& pair : pairs) {
        DrawFace(QString::fromLatin1(pair.caption), false, dir, pair.normal);
        DrawFace(QString::fromLatin1(pair.caption), true, dir, pair.pressed);
    }
}

// The model pictures stand on a panel from the leftmost picture to the right edge, as
// high as the highest picture.
QRect PicturePanel(const DialogTemplate& dialog)
{
    int left = kBackgroundWidth, height = 0;
    for (const ControlTemplate& control : dialog.controls) {
        if (control.cls == ControlClass::Static && (control.style & SS_TYPEMASK) == SS_BITMAP) {
            left = std::min(left, PixelRect(control).left());
            height = std::max(height, PixelRect(control).height());
        }
    }
    if (height == 0)
        Fail(QStringLiteral("template %1 has no model pictures").arg(dialog.id));
    return QRect(left, 0, kBackgroundWidth - left, height);
}

// The panel ends in an accent rule, lifted above the panel's bottom so that a button
// below it (EXIT) stands clear of it rather than touching it.
constexpr int kRuleLift = 4;
constexpr int kRuleThickness = 2;
constexpr int kRuleClearance = 4; // at least this many pixels between rule and a button

int PanelRuleTop(const DialogTemplate& dialog)
{
    return PicturePanel(dialog).height() - kRuleLift;
}

// ---------------------------------------------------------------------------
// Model pictures of the main window: on the main background's panel colour, so
// that a picture narrower or shorter than the panel blends in.

void DrawModelPicture(const char* name, int width, int height, const QString& dir, int id)
{
    const Presenter& m = FindPresenter(name);
    QImage image = NewCanvas(width, height, kPanel);
    QPainter p(&image);
    ScaleToArt(p);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    const QPointF spot(width / 2.0, 118);
    const qreal radius = std::min(width / 2.0 - 2, 76.0);
    QRadialGradient glow(spot, radius);
    glow.setColorAt(0, QColor(0xF7, 0xF9, 0xFB));
    glow.setColorAt(1, kPanel);
    p.setPen(Qt::NoPen);
    p.setBrush(glow);
    p.drawEllipse(spot, radius, radius);

    const qreal h = BodyHeight(m.family);
    p.save();
    p.translate(width / 2.0, 112);
    p.rotate(-9);
    p.translate(0, -h / 2);
    DrawPresenter(p, m);
    p.restore();

    p.setFont(MakeFont(kLatinFamily, 17, true));
    p.setPen(kInk);
    p.drawText(QRectF(0, height - 50, width, 22), Qt::AlignCenter, QString::fromLatin1(name));
    p.setFont(MakeFont(kLatinFamily, 9, true, 2.0));
    p.setPen(kAccent);
    p.drawText(QRectF(0, height - 27, width, 14), Qt::AlignCenter, QStringLiteral("TAVROLIN"));
    // A picture taller than the panel covers the panel's rule and the page below it,
    // so it carries both itself: every picture then ends where the panel does.
    const int ruleTop = PanelRuleTop(TemplateOf(102));
    if (height > ruleTop) {
        p.setPen(Qt::NoPen);
        p.setBrush(kAccent);
        p.drawRect(QRect(0, ruleTop, width, kRuleThickness));
        p.setBrush(kPaper);
        p.drawRect(QRect(0, ruleTop + kRuleThickness, width, height - ruleTop - kRuleThickness));
    }
    p.end();
    SaveBitmap(image, dir, id);
}

void DrawModelPictures(const QString& dir)
{
    DrawModelPicture("QN-95 Vela", 162, 269, dir, 144);
    DrawModelPicture("LT-61", 155, 276, dir, 158);
    DrawModelPicture("LT-61P", 161, 271, dir, 159);
    DrawModelPicture("LT-65", 159, 274, dir, 160);
    DrawModelPicture("RV-80", 161, 275, dir, 161);
    DrawModelPicture("QN-70 Vela", 157, 274, dir, 162);
    DrawModelPicture("RV-80G", 162, 275, dir, 176);
    DrawModelPicture("QN-90", 162, 275, dir, 180);
}

// ---------------------------------------------------------------------------
// Configuration dialog backgrounds. The key fields are placed by the dialog
// templates; each background frames them in labelled boxes joined to the keys.

struct FieldRole
{
    int controlId; // the key field's edit control in the dialog template
    int slot;      // the presenter key it configures
    const char* label;
    Glyph symbol; // drawn instead of a label when set
};

struct Field
{
    int controlId;
    QRect rect; // where the template puts the key field, in pixels
    int slot;
    const char* label;
    Glyph symbol;
};

struct ConfigLayout
{
    int templateId;
    const char* title; // dialog heading
    std::vector<Field> fields;
    std::vector<std::vector<int>> boxes; // indices into fields
    std::vector<QRect> buttons;          // every button, at its face's size
    QSize dialog; // the template's size: the bitmap's right and bottom edges are cut off
};

// Takes the fields' and buttons' positions from the template. Every edit control of
// the template must be one field of exactly one box, or the picture would show a
// field with no label.
ConfigLayout LayoutOf(int templateId, const std::vector<FieldRole>& roles,
                      const std::vector<std::vector<int>>& boxIds)
{
    const DialogTemplate& dialog = TemplateOf(templateId);
    ConfigLayout layout{templateId, "KEY SETTINGS",      {},
                        {},         ButtonFaces(dialog), DialogSize(dialog)};
    for (const FieldRole& role : roles) {
        const ControlTemplate& control = ControlOf(dialog, role.controlId);
        if (control.cls != ControlClass::Edit || !control.visible)
            Fail(QStringLiteral("template %1: control %2 is no visible edit field")
                     .arg(templateId)
                     .arg(role.controlId));
        layout.fields.push_back(
            {role.controlId, PixelRect(control), role.slot, role.label, role.symbol});
    }
    std::vector<int> boxesOfField(roles.size(), 0);
    for (const std::vector<int>& ids : boxIds) {
        std::vector<int> box;
        for (int id : ids) {
            std::size_t i = 0;
            while (i < roles.size() && roles[i].controlId != id)
                ++i;
            if (i == roles.size())
                Fail(QStringLiteral("template %1: box names control %2, which is no key field")
                         .arg(templateId)
                         .arg(id));
            ++boxesOfField[i];
            box.push_back(int(i));
        }
        layout.boxes.push_back(box);
    }
    for (std::size_t i = 0; i < roles.size(); ++i)
        if (boxesOfField[i] != 1)
            Fail(QStringLiteral("template %1: key field %2 is in %3 boxes")
                     .arg(templateId)
                     .arg(roles[i].controlId)
                     .arg(boxesOfField[i]));
    for (const ControlTemplate& control : dialog.controls) {
        if (control.cls != ControlClass::Edit || !control.visible)
            continue;
        bool known = false;
        for (const FieldRole& role : roles)
            known = known || role.controlId == control.id;
        if (!known)
            Fail(QStringLiteral("template %1: edit field %2 has no place in the picture")
                     .arg(templateId)
                     .arg(control.id));
    }
    return layout;
}

// The labels are the buttons' names, which the command line shows too.
const char* Label(PresenterFamilyId family, int slot)
{
    return FamilyData(family).buttonNames[slot - 1];
}

ConfigLayout TwoKeyLayout()
{
    constexpr auto f = PresenterFamilyId::TwoKey;
    return LayoutOf(129, {{1002, 1, Label(f, 1), Glyph::None}, {1003, 2, Label(f, 2), Glyph::None}},
                    {{1002}, {1003}});
}

ConfigLayout QnLayout()
{
    return LayoutOf(130,
                    {{1011, 1, "", Glyph::Slideshow},
                     {1012, 2, "", Glyph::Cross},
                     {1013, 3, "", Glyph::Switch},
                     {1014, 4, "", Glyph::Left},
                     {1033, 5, "", Glyph::Right}},
                    {{1011, 1012}, {1013}, {1014}, {1033}});
}

ConfigLayout FiveStickLayout()
{
    constexpr auto f = PresenterFamilyId::Lt61p;
    return LayoutOf(131,
                    {{1018, 1, Label(f, 1), Glyph::None},
                     {1019, 2, Label(f, 2), Glyph::None},
                     {1020, 3, Label(f, 3), Glyph::None},
                     {1021, 4, Label(f, 4), Glyph::None},
                     {1022, 5, Label(f, 5), Glyph::None}},
                    {{1018}, {1019}, {1020}, {1021, 1022}});
}

ConfigLayout SevenKeyLayout()
{
    constexpr auto f = PresenterFamilyId::Rv80;
    return LayoutOf(132,
                    {{1026, 1, Label(f, 1), Glyph::None},
                     {1027, 2, Label(f, 2), Glyph::None},
                     {1028, 3, Label(f, 3), Glyph::None},
                     {1029, 4, Label(f, 4), Glyph::None},
                     {1030, 5, Label(f, 5), Glyph::None},
                     {1031, 6, Label(f, 6), Glyph::None},
                     {1032, 7, Label(f, 7), Glyph::None}},
                    {{1026}, {1027}, {1031}, {1028}, {1029, 1030}, {1032}});
}

constexpr int kHeaderHeight = 24;
constexpr int kLabelHeight = 18; // band above each field that holds its label
constexpr int kBoxPadX = 9;
constexpr int kBoxPadBottom = 7;

void DrawHeader(QPainter& p, int height, const QString& right)
{
    QLinearGradient band(0, 0, 0, height);
    band.setColorAt(0, kHeaderTop);
    band.setColorAt(1, kHeaderBottom);
    p.setPen(Qt::NoPen);
    p.setBrush(band);
    p.drawRect(0, 0, kBackgroundWidth, height);
    p.setBrush(kAccent);
    p.drawRect(0, height - 2, kBackgroundWidth, 2);
    const qreal mark = height - 8;
    DrawMark(p, QRectF(7, 3, mark, mark));
    p.setFont(MakeFont(kLatinFamily, 11, true, 1.5));
    p.setPen(Qt::white);
    p.drawText(QRectF(13 + mark, 0, 200, height - 2), Qt::AlignVCenter | Qt::AlignLeft,
               QStringLiteral("TAVROLIN"));
    p.setFont(MakeFont(kLatinFamily, 11, true, 0.5));
    p.drawText(QRectF(0, 0, kBackgroundWidth - 22, height - 2), Qt::AlignVCenter | Qt::AlignRight,
               right);
}

struct BoxGeometry
{
    QRect frame;
    bool left;
};

// Boxes on one side share their left and right edges, so the columns line up.
std::vector<BoxGeometry> BoxFrames(const ConfigLayout& layout)
{
    const int middle = kBackgroundWidth / 2;
    int leftMin = kBackgroundWidth, leftMax = 0, rightMin = kBackgroundWidth, rightMax = 0;
    for (const Field& f : layout.fields) {
        if (f.rect.center().x() < middle) {
            leftMin = std::min(leftMin, f.rect.left());
            leftMax = std::max(leftMax, f.rect.right());
        } else {
            rightMin = std::min(rightMin, f.rect.left());
            rightMax = std::max(rightMax, f.rect.right());
        }
    }
    std::vector<BoxGeometry> frames;
    for (const std::vector<int>& box : layout.boxes) {
        int top = kBackgroundHeight, bottom = 0;
        bool left = false;
        for (int i : box) {
            const Field& f = layout.fields[i];
            top = std::min(top, f.rect.top() - kLabelHeight - 4);
            bottom = std::max(bottom, f.rect.bottom() + kBoxPadBottom);
            left = f.rect.center().x() < middle;
        }
        const int x0 = (left ? leftMin : rightMin) - kBoxPadX;
        const int x1 = (left ? leftMax : rightMax) + kBoxPadX;
        frames.push_back({QRect(QPoint(x0, top), QPoint(x1, bottom)), left});
    }
    return frames;
}

// A box's outline, drawn on pixel centres.
QRectF Outline(const QRect& frame)
{
    return QRectF(frame).adjusted(0.5, 0.5, -0.5, -0.5);
}

// The band above a field that holds its label.
QRectF LabelBand(const QRectF& frame, const QRect& field)
{
    return QRectF(frame.left() + 4, field.top() - kLabelHeight - 1, frame.width() - 8,
                  kLabelHeight);
}

// Where the presenter stands: in the gap between the two columns of boxes, below the header.
QTransform PresenterPlace(const std::vector<BoxGeometry>& frames)
{
    int gapLeft = 0, gapRight = kBackgroundWidth;
    for (const BoxGeometry& g : frames) {
        if (g.left)
            gapLeft = std::max(gapLeft, g.frame.right());
        else
            gapRight = std::min(gapRight, g.frame.left());
    }
    QTransform place;
    place.translate((gapLeft + gapRight) / 2.0, kHeaderHeight + 10);
    return place;
}

// Refuses a template that no longer fits the picture: a box under a button, over the
// header or off the dialog, boxes running into each other, a field outside its box or
// over another field's label, or the presenter squeezed between the boxes or standing
// on a button.
void CheckLayout(const ConfigLayout& layout, const std::vector<BoxGeometry>& frames,
                 const Presenter& m, int id)
{
    const QString where = QStringLiteral("bitmap %1 (template %2)").arg(id).arg(layout.templateId);
    const QRect canvas(0, kHeaderHeight + 2, layout.dialog.width(),
                       layout.dialog.height() - kHeaderHeight - 2);
    for (std::size_t b = 0; b < frames.size(); ++b) {
        const QRect& frame = frames[b].frame;
        if (!canvas.contains(frame))
            Fail(QStringLiteral("%1: box %2 leaves the picture").arg(where).arg(b));
        for (const QRect& button : layout.buttons)
            if (frame.intersects(button.adjusted(-3, -3, 3, 3)))
                Fail(QStringLiteral("%1: box %2 runs under a button").arg(where).arg(b));
        for (std::size_t o = b + 1; o < frames.size(); ++o)
            if (frame.intersects(frames[o].frame))
                Fail(QStringLiteral("%1: boxes %2 and %3 overlap").arg(where).arg(b).arg(o));
        for (int i : layout.boxes[b]) {
            const QRect& field = layout.fields[i].rect;
            if (!frame.adjusted(2, kLabelHeight, -2, -2).contains(field))
                Fail(QStringLiteral("%1: key field %2 is not inside its box")
                         .arg(where)
                         .arg(layout.fields[i].controlId));
            for (std::size_t o = 0; o < layout.fields.size(); ++o)
                if (int(o) != i &&
                    LabelBand(Outline(frame), field).intersects(layout.fields[o].rect))
                    Fail(QStringLiteral("%1: key field %2 covers the label of field %3")
                             .arg(where)
                             .arg(layout.fields[o].controlId)
                             .arg(layout.fields[i].controlId));
        }
    }
    const QRectF body = PresenterPlace(frames).mapRect(BodyPath(m.family).boundingRect());
    for (const BoxGeometry& g : frames)
        if (body.adjusted(-6, 0, 6, 0).intersects(QRectF(g.frame)))
            Fail(QStringLiteral("%1: no room for the presenter between the boxes").arg(where));
    for (const QRect& button : layout.buttons)
        if (body.intersects(QRectF(button)))
            Fail(QStringLiteral("%1: the presenter stands on a button").arg(where));
}

void DrawConfigBackground(const char* model, const ConfigLayout& layout, const QString& dir, int id)
{
    const Presenter& m = FindPresenter(model);
    const std::vector<BoxGeometry> frames = BoxFrames(layout);
    CheckLayout(layout, frames, m, id);

    QImage image = NewCanvas(kBackgroundWidth, kBackgroundHeight, kPaper);
    QPainter p(&image);
    ScaleToArt(p);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    QLinearGradient wash(0, kHeaderHeight, 0, kBackgroundHeight);
    wash.setColorAt(0, QColor(0xFB, 0xFC, 0xFD));
    wash.setColorAt(0.75, kPaper);
    p.setPen(Qt::NoPen);
    p.setBrush(wash);
    p.drawRect(0, kHeaderHeight, kBackgroundWidth, kBackgroundHeight - kHeaderHeight);
    DrawHeader(p, kHeaderHeight,
               QStringLiteral("%1  \u00b7  %2")
                   .arg(QString::fromLatin1(model), QString::fromLatin1(layout.title)));

    const QTransform place = PresenterPlace(frames);

    // Boxes with their labels and the wells the key fields sit in.
    const QFont labelFont = MakeFont(kLatinFamily, 10, true, 0.6);
    for (std::size_t b = 0; b < frames.size(); ++b) {
        const QRectF frame = Outline(frames[b].frame);
        p.setPen(QPen(QColor(0, 0, 0, 18), 3));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(frame.translated(1, 1.5), 7, 7);
        p.setPen(QPen(kFrame, 1.2));
        p.setBrush(Qt::white);
        p.drawRoundedRect(frame, 7, 7);
        for (int i : layout.boxes[b]) {
            const Field& f = layout.fields[i];
            const QRectF band = LabelBand(frame, f.rect);
            if (f.symbol != Glyph::None) {
                DrawGlyph(p, f.symbol, band.center(), 7.5, kInk);
            } else {
                p.setFont(labelFont);
                p.setPen(kInk);
                p.drawText(band, Qt::AlignCenter, QString::fromLatin1(f.label));
            }
            p.setPen(QPen(QColor(0xB4, 0xC0, 0xCF), 1));
            p.setBrush(QColor(0xF4, 0xF6, 0xF9));
            p.drawRect(QRectF(f.rect).adjusted(-1.5, -1.5, 0.5, 0.5));
        }
    }

    p.save();
    p.setTransform(place, true);
    DrawPresenter(p, m);
    p.restore();

    // Leader lines from each field's box edge to its key.
    for (std::size_t b = 0; b < frames.size(); ++b) {
        for (int i : layout.boxes[b]) {
            const Field& f = layout.fields[i];
            const Key& key = KeyOfSlot(m, f.slot);
            const QPointF target = place.map(key.centre);
            const QPointF start(frames[b].left ? frames[b].frame.right() + 0.5
                                               : frames[b].frame.left() + 0.5,
                                f.rect.center().y() + 0.5);
            QLineF line(start, target);
            const qreal stop = key.onPad ? key.radius + 1 : key.radius + 3;
            line.setLength(std::max<qreal>(0, line.length() - stop));
            p.setPen(QPen(QColor(255, 255, 255, 200), 3.2, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(line);
            p.setPen(QPen(kAccent, 1.4, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(line);
            p.setPen(Qt::NoPen);
            p.setBrush(kAccent);
            p.drawEllipse(start, 3, 3);
            p.drawEllipse(line.p2(), 2, 2);
            if (!key.onPad) {
                p.setPen(QPen(kAccent, 1.4));
                p.setBrush(Qt::NoBrush);
                p.drawEllipse(target, key.radius + 2.6, key.radius + 2.6);
            }
        }
    }
    p.end();
    SaveBitmap(image, dir, id);
}

void DrawConfigBackgrounds(const QString& dir)
{
    DrawConfigBackground("LT-61", TwoKeyLayout(), dir, 163);
    DrawConfigBackground("LT-61P", FiveStickLayout(), dir, 164);
    DrawConfigBackground("LT-65", FiveStickLayout(), dir, 165);
    DrawConfigBackground("RV-80", SevenKeyLayout(), dir, 170);
    DrawConfigBackground("RV-80G", SevenKeyLayout(), dir, 174);
    DrawConfigBackground("QN-95 Vela", QnLayout(), dir, 172);
    DrawConfigBackground("QN-70 Vela", QnLayout(), dir, 173);
    DrawConfigBackground("QN-90", QnLayout(), dir, 175);
}

// ---------------------------------------------------------------------------
// Main window background.

constexpr qreal kHeadingBottom = 78;

void DrawMainBackground(const QString& dir)
{
    const DialogTemplate& dialog = TemplateOf(102);
    const QRect panel = PicturePanel(dialog);
    const QRect modelList = PixelRect(ControlOf(dialog, 1000));
    // "PRODUCT" stands right above the model list, under the heading, its rule ending
    // with the list.
    const QRectF productBand(modelList.left(), modelList.top() - 16, 200, 14);
    if (productBand.top() < kHeadingBottom + 2 || modelList.right() >= panel.left())
        Fail(QStringLiteral("bitmap 134 (template 102): no room for the model list's caption"));
    // The panel and its rule must stay clear of the buttons, with a gap to see.
    const int ruleTop = PanelRuleTop(dialog);
    const QRect keepClear(panel.left(), 0, panel.width(),
                          ruleTop + kRuleThickness + kRuleClearance);
    for (const QRect& button : ButtonFaces(dialog))
        if (button.intersects(keepClear))
            Fail(QStringLiteral("bitmap 134 (template 102): a button runs into the picture "
                                "panel or its rule"));

    QImage image = NewCanvas(kBackgroundWidth, kBackgroundHeight, kPaper);
    QPainter p(&image);
    ScaleToArt(p);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    QLinearGradient wash(0, 0, 0, kBackgroundHeight);
    wash.setColorAt(0, Qt::white);
    wash.setColorAt(0.8, kPaper);
    p.setPen(Qt::NoPen);
    p.setBrush(wash);
    p.drawRect(0, 0, kBackgroundWidth, kBackgroundHeight);

    // Faint radio waves, the presenter's link to its receiver.
    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < 4; ++i) {
        p.setPen(QPen(QColor(0x1D, 0x33, 0x52, 16 + 6 * (3 - i)), 6, Qt::SolidLine, Qt::RoundCap));
        const qreal r = 28 + i * 22;
        p.drawArc(QRectF(232 - r, 196 - r, 2 * r, 2 * r), 100 * 16, 70 * 16);
    }

    p.setPen(Qt::NoPen);
    p.setBrush(kPanel);
    p.drawRect(QRect(panel.left(), 0, panel.width(), ruleTop));
    p.setBrush(QColor(0xC3, 0xCE, 0xDB));
    p.drawRect(QRect(panel.left() - 1, 0, 1, ruleTop));
    p.setBrush(kAccent);
    p.drawRect(QRect(panel.left(), ruleTop, panel.width(), kRuleThickness));

    DrawMark(p, QRectF(20, 16, 38, 38));
    p.setFont(MakeFont(kLatinFamily, 23, true, 2.0));
    p.setPen(kInk);
    p.drawText(QRectF(66, 14, 190, 30), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("TAVROLIN"));
    p.setFont(MakeFont(kLatinFamily, 9, false, 1.0));
    p.setPen(kInkSoft);
    p.drawText(QRectF(67, 40, 190, 14), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("wireless presenters"));

    p.setFont(MakeFont(kLatinFamily, 15, true));
    p.setPen(kInk);
    p.drawText(QRectF(20, kHeadingBottom - 20, 236, 20), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Presenter Key Setup"));

    const QFont productFont = MakeFont(kLatinFamily, 10, true, 1.5);
    const QString product = QStringLiteral("PRODUCT");
    p.setFont(productFont);
    p.setPen(kAccent);
    p.drawText(productBand, Qt::AlignLeft | Qt::AlignVCenter, product);
    const qreal rule =
        productBand.left() + QFontMetricsF(productFont).horizontalAdvance(product) + 6;
    p.setPen(QPen(kAccent, 1.5));
    p.drawLine(QPointF(rule, productBand.center().y() + 0.5),
               QPointF(modelList.right() + 1, productBand.center().y() + 0.5));
    p.end();
    SaveBitmap(image, dir, 134);
}

// ---------------------------------------------------------------------------
// Help pages.

struct HelpText
{
    const char* family;
    QString title;
    QString subtitle;
    QStringList steps;
};

HelpText EnglishHelp()
{
    return {kLatinFamily,
            QStringLiteral("How to use Tavrolin"),
            QStringLiteral("Presenter Key Setup"),
            {QStringLiteral("Choose your product and press the OK button."),
             QStringLiteral("Choose the presenter button to change: click its field."),
             QStringLiteral("Press the key combination on the keyboard (e.g. Ctrl+F5)."),
             QStringLiteral("Click OK after changing the keys."),
             QStringLiteral("Check for the message \u201cSetting has been completed.\u201d"),
             QStringLiteral("Click BACK to return to the first window."),
             QStringLiteral("Click EXIT to quit the program.")}};
}

HelpText KoreanHelp()
{
    return {
        kHangulFamily,
        QStringLiteral("Tavrolin 사용 방법"),
        QStringLiteral("프레젠터 키 설정"),
        {QStringLiteral("PRODUCT 목록에서 제품을 선택한 후 OK 버튼을 누르십시오."),
         QStringLiteral("변경할 프레젠터 버튼을 선택하십시오. 해당 상자의 입력란을 클릭합니다."),
         QStringLiteral("키보드에서 원하는 키 조합을 누르십시오. 예: Ctrl+F5"),
         QStringLiteral("키를 변경한 후 OK를 클릭하십시오."),
         QStringLiteral("\u201c설정이 완료되었습니다.\u201d 메시지가 나타나는지 확인하십시오."),
         QStringLiteral("BACK을 클릭하면 처음 화면으로 돌아갑니다."),
         QStringLiteral("EXIT를 클릭하면 프로그램이 종료됩니다.")}};
}

void DrawHelpPage(const HelpText& text, const QString& dir, int id)
{
    QImage image = NewCanvas(kBackgroundWidth, kBackgroundHeight, kPaper);
    QPainter p(&image);
    ScaleToArt(p);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    QLinearGradient wash(0, 0, 0, kBackgroundHeight);
    wash.setColorAt(0, Qt::white);
    wash.setColorAt(0.85, kPaper);
    p.setPen(Qt::NoPen);
    p.setBrush(wash);
    p.drawRect(0, 0, kBackgroundWidth, kBackgroundHeight);

    constexpr int headerHeight = 48;
    QLinearGradient band(0, 0, 0, headerHeight);
    band.setColorAt(0, kHeaderTop);
    band.setColorAt(1, kHeaderBottom);
    p.setBrush(band);
    p.drawRect(0, 0, kBackgroundWidth, headerHeight);
    p.setBrush(kAccent);
    p.drawRect(0, headerHeight - 2, kBackgroundWidth, 2);
    DrawMark(p, QRectF(14, 8, 30, 30));
    p.setPen(Qt::white);
    p.setFont(MakeFont(text.family, 17, true));
    p.drawText(QRectF(54, 5, 360, 22), Qt::AlignLeft | Qt::AlignVCenter, text.title);
    p.setFont(MakeFont(text.family, 11, false));
    p.setPen(QColor(0xC9, 0xD6, 0xE6));
    p.drawText(QRectF(55, 26, 360, 16), Qt::AlignLeft | Qt::AlignVCenter, text.subtitle);

    // Steps, spread evenly between the header and the OK button.
    const QRect ok = FaceRect(ControlOf(TemplateOf(140), 1));
    const QFont stepFont = MakeFont(text.family, 12, false);
    const QFont numberFont = MakeFont(kLatinFamily, 11, true);
    const qreal textLeft = 46;
    const qreal textWidth = kBackgroundWidth - textLeft - 16;
    std::vector<qreal> heights;
    qreal total = 0;
    const QFontMetricsF metrics(stepFont);
    for (const QString& step : text.steps) {
        const QRectF need = metrics.boundingRect(QRectF(0, 0, textWidth, 200),
                                                 Qt::TextWordWrap | Qt::AlignLeft, step);
        heights.push_back(std::max<qreal>(need.height(), 18));
        total += heights.back();
    }
    const qreal top = headerHeight + 10;
    const qreal bottom = ok.top() - 8;
    const qreal gap = (bottom - top - total) / (text.steps.size() - 1);
    if (gap < 3)
        Fail(QStringLiteral("bitmap %1: the steps do not fit").arg(id));
    qreal y = top;
    for (int i = 0; i < text.steps.size(); ++i) {
        const QPointF badge(28, y + 9);
        p.setPen(Qt::NoPen);
        p.setBrush(kAccent);
        p.drawEllipse(badge, 9, 9);
        p.setPen(Qt::white);
        p.setFont(numberFont);
        p.drawText(QRectF(badge.x() - 9, badge.y() - 9, 18, 18), Qt::AlignCenter,
                   QString::number(i + 1));
        p.setPen(kInk);
        p.setFont(stepFont);
        p.drawText(QRectF(textLeft, y, textWidth, heights[i]),
                   Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignVCenter, text.steps[i]);
        y += heights[i] + gap;
    }
    p.end();
    SaveBitmap(image, dir, id);
}

// ---------------------------------------------------------------------------
// Application icon.

// Drawn afresh at every size of the desktop's icon theme rather than scaled down
// from the largest, so that small sizes stay sharp.
void DrawIcons(const QString& dir)
{
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        DrawMark(p, QRectF(0, 0, size, size));
        p.end();
        PendingOutputs().push_back({QStringLiteral("%1/tavrolin-%2.png").arg(dir).arg(size),
                                    image.convertToFormat(QImage::Format_ARGB32), "PNG"});
    }
}

void MakeDir(const QString& path)
{
    if (!QDir().mkpath(path))
        Fail(QStringLiteral("cannot create %1").arg(path));
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() != 1 || args[0].startsWith(QLatin1Char('-'))) {
        std::fprintf(stderr, "usage: tavrolin-artwork <res-dir>\n");
        return 2;
    }
    const QString bitmaps = args[0] + QStringLiteral("/bitmaps");
    const QString icons = args[0] + QStringLiteral("/icons");
    // The layout checks run again for each scale, so neither can be drawn from a
    // template that no longer fits.
    for (int scale : {1, 2}) {
        gScale = scale;
        DrawFaces(bitmaps);
        DrawModelPictures(bitmaps);
        DrawConfigBackgrounds(bitmaps);
        DrawMainBackground(bitmaps);
        DrawHelpPage(EnglishHelp(), bitmaps, 179);
        DrawHelpPage(KoreanHelp(), bitmaps, 181);
    }
    DrawIcons(icons);
    MakeDir(bitmaps);
    MakeDir(icons);
    WriteOutputs();
    return 0;
}
