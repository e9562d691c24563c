#include "BitmapButton.h"

#include "res/AccessibleNames.h"
#include "res/Resources.h"

#include <QPainter>
#include <QStyleOptionButton>
#include <QStylePainter>

#include <map>

BitmapButton::BitmapButton(QWidget* parent) : QAbstractButton(parent)
{
    setFocusPolicy(Qt::StrongFocus);
}

bool BitmapButton::LoadBitmaps(int normal, int pressed, int focused, int disabled)
{
    bool allLoaded = true;
    const qreal ratio = devicePixelRatioF();
    // Most buttons name the same face twice (normal and focused): read it once.
    std::map<int, QImage> read;
    const auto load = [&allLoaded, &read, ratio](int id) {
        if (id == 0)
            return QImage();
        auto found = read.find(id);
        if (found == read.end())
            found = read.emplace(id, LoadBitmapResource(id, ratio)).first;
        if (found->second.isNull())
            allLoaded = false;
        return found->second;
    };
    const QImage normalImage = load(normal);
    if (normal == 0)
        allLoaded = false;
    SetBitmaps(normalImage, load(pressed), load(focused), load(disabled));
    // A screen reader says what the face reads, not what the template called
    // the button ("Config" and "Cancel" show OK and BACK).
    if (const char* face = ButtonFaceText(normal))
        setAccessibleName(QString::fromUtf8(face));
    return allLoaded;
}

bool BitmapButton::SetBitmaps(const QImage& normal, const QImage& pressed, const QImage& focused,
                              const QImage& disabled)
{
    normalFace = normal;
    pressedFace = pressed;
    focusedFace = focused;
    disabledFace = disabled;
    updateGeometry();
    update();
    return !normalFace.isNull();
}

void BitmapButton::SizeToContent()
{
    if (!normalFace.isNull())
        resize(normalFace.deviceIndependentSize().toSize());
}

QImage BitmapButton::CurrentFace() const
{
    if (isDown() && !pressedFace.isNull())
        return pressedFace;
    if (hasFocus() && !focusedFace.isNull())
        return focusedFace;
    if (!isEnabled() && !disabledFace.isNull())
        return disabledFace;
    return normalFace;
}

QSize BitmapButton::sizeHint() const
{
    if (!normalFace.isNull())
        return normalFace.deviceIndependentSize().toSize();
    return QSize(fontMetrics().horizontalAdvance(text()) + 16, fontMetrics().height() + 8);
}

void BitmapButton::paintEvent(QPaintEvent*)
{
    const QImage face = CurrentFace();
    if (!face.isNull()) {
        QPainter painter(this);
        painter.drawImage(QPoint(0, 0), face);
        return;
    }
    // Without faces, still look and work like a button rather than vanish.
    QStylePainter painter(this);
    QStyleOptionButton option;
    option.initFrom(this);
    option.text = text();
    if (isDown())
        option.state |= QStyle::State_Sunken;
    else
        option.state |= QStyle::State_Raised;
    painter.drawControl(QStyle::CE_PushButton, option);
}
