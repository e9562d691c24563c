#pragma once

#include <QAbstractButton>
#include <QImage>

// A push button drawn only from its face bitmaps: the pressed face while it is
// held down, else the focused face while it has the focus, else the disabled
// face while disabled, else the normal face; a missing face falls back to the
// normal one. Clicked by mouse and by Space like any push button.
class BitmapButton : public QAbstractButton
{
    Q_OBJECT
public:
    explicit BitmapButton(QWidget* parent = nullptr);

    // Bitmap resource ids, drawn for this button's screen; 0 = no such face. False when the normal
    // face or any other requested face could not be loaded (the faces that did load are kept).
    bool LoadBitmaps(int normal, int pressed = 0, int focused = 0, int disabled = 0);
    // The same with images already at hand; a null image = no such face.
    bool SetBitmaps(const QImage& normal, const QImage& pressed = {}, const QImage& focused = {},
                    const QImage& disabled = {});
    // The normal face's natural size (the same for its plain and 2x drawing);
    // the top-left corner stays where it is.
    void SizeToContent();

    // The face that a paint would draw now (null when there is no normal face).
    QImage CurrentFace() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage normalFace;
    QImage pressedFace;
    QImage focusedFace;
    QImage disabledFace;
};
