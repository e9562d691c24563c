#pragma once

#include <QDialog>
#include <QImage>
#include <QPoint>

#include <map>
#include <set>
#include <vector>

class QPainter;
class QRect;

// The background picture of a skinned dialog.
class BackgroundBitmap
{
public:
    // screen: the paint device whose device pixel ratio picks the bitmap's
    // drawing (plain or 2x); none means plain.
    explicit BackgroundBitmap(const QPaintDevice* screen = nullptr);
    virtual ~BackgroundBitmap();

    // Drops the bitmap held now, then loads bitmap resource bitmapId. Returns 1
    // when the dialog ends up with the requested background (id 0 asks for
    // none), 0 when the bitmap could not be loaded (the dialog then has none).
    int LoadBackground(int bitmapId);
    // Copies the whole bitmap again and again from the painter's origin, rows
    // outer and columns inner, until the rectangle's width and height are
    // covered; the rectangle's position is not used. 0 when no bitmap is held.
    int TileBackground(QPainter& dc, const QRect& rect) const;

    bool HasBackground() const;
    int BackgroundId() const; // 0 when none is held
    const QImage& Background() const { return bitmap; }

private:
    const QPaintDevice* screen;
    QImage bitmap;
    int width = 0; // natural size, whatever the drawing's pixel ratio
    int height = 0;
    int heldId = 0;
};

// The base of every dialog: frameless, painted with its background bitmap (the
// platform's own background when none is held), deaf to Enter and Esc, and
// moved by dragging its background or any picture on it. The dialog and every
// widget inside it, popups included, wear the skin's style and palette; other
// windows it owns (message boxes, other dialogs) do not.
class SkinDialog : public QDialog, public BackgroundBitmap
{
    Q_OBJECT
public:
    explicit SkinDialog(int templateId, QWidget* parent = nullptr);
    ~SkinDialog() override;

    int TemplateId() const;

    // BackgroundBitmap::LoadBackground, and the dialog takes the heading drawn
    // on the background as its accessible name.
    int LoadBackground(int bitmapId);

    // Runs OnInitDialog once, then exec() unless the dialog ended during it;
    // returns the dialog's result. OnDestroy runs before it returns.
    int DoModal();
    // Runs OnInitDialog once (later calls return the first answer). When it
    // returns true, the first control of the tab order that takes the focus
    // gets it, as the dialog manager would do.
    bool InitDialog();
    // done(result); also valid during OnInitDialog, when DoModal then returns
    // at once without showing the dialog.
    void EndDialog(int result);
    bool EndedDuringInit() const;

    // The widget standing for a template control after ApplyTemplate: the
    // member given for it or the one the applier created; nullptr otherwise.
    QWidget* TemplateControl(int controlId) const;

protected:
    virtual bool OnInitDialog();
    // Runs when DoModal is about to return (the dialog's window is gone as far
    // as the dialog is concerned); the base does nothing.
    virtual void OnDestroy();

    // Sizes the dialog by its template and, for each control of the template,
    // places, shows or hides, enables or disables, names and orders the given
    // member widget (or a widget it creates when no member is given, e.g. the
    // group box of id -1). Pictures get their bitmap when they are first shown,
    // lists their initial entries when they are still empty. The lists named
    // in plainLists get no edit field, whatever their template says.
    void ApplyTemplate(const std::map<int, QWidget*>& controls,
                       const std::set<int>& plainLists = {});

    bool eventFilter(QObject* watched, QEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    bool BelongsToSkin(const QWidget* widget) const;
    // Links the controls that take the focus in template order.
    void OrderTabStops();
    void LoadPicture(QObject* picture);

    int dialogTemplateId;
    bool initialised = false;
    bool initialising = false;
    bool initResult = true;
    bool endedDuringInit = false;
    std::map<int, QWidget*> templateControls;
    // Picture controls whose bitmap is read only once they are shown.
    std::map<QObject*, int> picturesToLoad;
    std::vector<QWidget*> tabOrder;
    // Manual move where the window system offers no system move.
    bool dragging = false;
    QPoint dragOffset;
};
