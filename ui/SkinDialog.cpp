#include "SkinDialog.h"

#include "BitmapButton.h"
#include "SkinLook.h"
#include "res/AccessibleNames.h"
#include "res/DialogTemplates.h"
#include "res/Resources.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QWindow>

#include <algorithm>

// ---------------------------------------------------------------- BackgroundBitmap

BackgroundBitmap::BackgroundBitmap(const QPaintDevice* screen) : screen(screen) {}

BackgroundBitmap::~BackgroundBitmap() = default;

int BackgroundBitmap::LoadBackground(int id)
{
    bitmap = QImage();
    width = 0;
    height = 0;
    heldId = 0;
    if (id == 0)
        return 1;
    QImage loaded = LoadBitmapResource(id, screen ? screen->devicePixelRatioF() : 1.0);
    if (loaded.isNull())
        return 0;
    bitmap = std::move(loaded);
    const QSize natural = bitmap.deviceIndependentSize().toSize();
    width = natural.width();
    height = natural.height();
    heldId = id;
    return 1;
}

int BackgroundBitmap::TileBackground(QPainter& dc, const QRect& rect) const
{
    if (bitmap.isNull())
        return 0;
    for (int y = 0; y < rect.height(); y += height) {
        for (int x = 0; x < rect.width(); x += width)
            dc.drawImage(QPoint(x, y), bitmap);
    }
    return 1;
}

bool BackgroundBitmap::HasBackground() const
{
    return !bitmap.isNull();
}

int BackgroundBitmap::BackgroundId() const
{
    return heldId;
}

// ---------------------------------------------------------------- SkinDialog

namespace {

// Qt builds a list's drop-down view whenever the list's style changes, only to
// pick the view's item delegate, which it picks again when it builds the view.
// A list just made has no view and no size yet, so nothing else that the change
// brings is wanted: the view waits for the list's first opening. Building the
// two of the main window took 0.7 MB and a fifth of the work on its controls.
// (Qt 6.8 builds the view anyway once an entry is chosen.)
class KeepListViewUnbuilt : public QObject
{
protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        return event->type() == QEvent::StyleChange;
    }
};

void WearSkinStyle(QWidget* widget)
{
    auto* list = qobject_cast<QComboBox*>(widget);
    if (!list || list->findChild<QAbstractItemView*>()) {
        widget->setStyle(SkinStyle());
        return;
    }
    KeepListViewUnbuilt keep;
    list->installEventFilter(&keep);
    list->setStyle(SkinStyle());
    list->removeEventFilter(&keep);
}

bool IsEnterOrEsc(const QKeyEvent* event)
{
    const int key = event->key();
    return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape;
}

// A field that looks at its keys itself (the key capture field) sees Enter and
// Esc before the dialog, like a control with its own message filter; whatever
// it leaves unhandled still ends at the dialog, which drops it.
bool HandlesOwnKeys(const QWidget* widget)
{
    return qobject_cast<const QLineEdit*>(widget) &&
           !qobject_cast<const QComboBox*>(widget->parentWidget());
}

QRect DialogUnitsToPixels(int x, int y, int cx, int cy)
{
    return QRect(x * kPixelsPerDialogUnit, y * kPixelsPerDialogUnit, cx * kPixelsPerDialogUnit,
                 cy * kPixelsPerDialogUnit);
}

QWidget* CreateControl(const ControlTemplate& control, QWidget* parent)
{
    switch (control.cls) {
    case ControlClass::Edit:
        return new QLineEdit(parent);
    case ControlClass::Button:
        return new BitmapButton(parent);
    case ControlClass::Static:
        return new QLabel(parent);
    case ControlClass::ComboBox:
        return new QComboBox(parent);
    case ControlClass::GroupBox:
        return new QGroupBox(parent);
    }
    return nullptr;
}

void ApplyControlStyle(const ControlTemplate& control, QWidget* widget, int templateId,
                       bool editField)
{
    const QString text = QString::fromUtf8(control.text);
    if (const char* label = ControlLabel(templateId, control.id))
        widget->setAccessibleName(QString::fromUtf8(label));
    else if (!text.isEmpty())
        widget->setAccessibleName(text);

    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        edit->setFrame((control.style & WS_BORDER) != 0);
        if (control.style & ES_CENTER)
            edit->setAlignment(Qt::AlignCenter);
        if (edit->text().isEmpty())
            edit->setText(text);
    } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        // An edit field made only to be dropped again costs 3 % of the main
        // window's start (field, completer and their models).
        combo->setEditable(editField && (control.style & CBS_DROPDOWN) != 0);
        if (combo->isEditable())
            combo->setInsertPolicy(QComboBox::NoInsert);
        if (combo->count() == 0) {
            for (const std::string& entry : ControlInitialData(templateId, control.id))
                combo->addItem(QString::fromStdString(entry));
            // The list opens with no entry chosen, as the template leaves it.
            combo->setCurrentIndex(-1);
        }
    } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
        group->setTitle(text);
        if (control.style & BS_CENTER)
            group->setAlignment(Qt::AlignHCenter);
        // A group box is only a frame: clicks on it belong to the dialog.
        group->setAttribute(Qt::WA_TransparentForMouseEvents);
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        if ((control.style & SS_TYPEMASK) == SS_BITMAP) {
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        } else {
            if (label->text().isEmpty())
                label->setText(text);
            Qt::Alignment alignment = Qt::AlignLeft;
            if (control.style & SS_CENTER)
                alignment = Qt::AlignHCenter;
            alignment |= (control.style & SS_CENTERIMAGE) ? Qt::AlignVCenter : Qt::AlignTop;
            label->setAlignment(alignment);
        }
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        if (button->text().isEmpty())
            button->setText(text);
    }
}

} // namespace

SkinDialog::SkinDialog(int templateId, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), BackgroundBitmap(this),
      dialogTemplateId(templateId)
{
    // Children created later (the lists' popups among them) are styled as
    // they are polished, see eventFilter.
    setStyle(SkinStyle());
    setPalette(SkinPalette());
    // Enter and Esc must be caught before the focused control sees them.
    qApp->installEventFilter(this);
}

SkinDialog::~SkinDialog()
{
    if (qApp)
        qApp->removeEventFilter(this);
}

int SkinDialog::LoadBackground(int bitmapId)
{
    const int loaded = BackgroundBitmap::LoadBackground(bitmapId);
    // A screen reader names the dialog by the heading its background shows.
    const std::string heading = BackgroundHeading(BackgroundId());
    if (!heading.empty())
        setAccessibleName(QString::fromStdString(heading));
    return loaded;
}

int SkinDialog::TemplateId() const
{
    return dialogTemplateId;
}

int SkinDialog::DoModal()
{
    InitDialog();
    int answer = result();
    if (!endedDuringInit)
        answer = exec();
    OnDestroy();
    return answer;
}

bool SkinDialog::InitDialog()
{
    if (initialised)
        return initResult;
    initialised = true;
    initialising = true;
    initResult = OnInitDialog();
    initialising = false;
    // Again, as the dialog may have changed its controls (a list that lost
    // its edit field leaves a gap in the chain).
    OrderTabStops();
    if (initResult && !endedDuringInit) {
        for (QWidget* widget : tabOrder) {
            if (!widget->isHidden() && widget->isEnabled() &&
                (widget->focusPolicy() & Qt::TabFocus)) {
                widget->setFocus(Qt::OtherFocusReason);
                break;
            }
        }
    }
    return initResult;
}

void SkinDialog::EndDialog(int result)
{
    if (initialising)
        endedDuringInit = true;
    done(result);
}

bool SkinDialog::EndedDuringInit() const
{
    return endedDuringInit;
}

QWidget* SkinDialog::TemplateControl(int controlId) const
{
    const auto found = templateControls.find(controlId);
    return found == templateControls.end() ? nullptr : found->second;
}

bool SkinDialog::OnInitDialog()
{
    return true;
}

void SkinDialog::OnDestroy() {}

void SkinDialog::ApplyTemplate(const std::map<int, QWidget*>& controls,
                               const std::set<int>& plainLists)
{
    const DialogTemplate* dialogTemplate = FindDialogTemplate(dialogTemplateId);
    if (!dialogTemplate)
        return;
    setFixedSize(dialogTemplate->cx * kPixelsPerDialogUnit,
                 dialogTemplate->cy * kPixelsPerDialogUnit);

    tabOrder.clear();
    for (const ControlTemplate& control : dialogTemplate->controls) {
        QWidget* widget = nullptr;
        if (const auto given = controls.find(control.id); given != controls.end())
            widget = given->second;
        if (!widget)
            widget = CreateControl(control, this);
        if (widget->parentWidget() != this)
            widget->setParent(this);
        // Before any size is taken from it: the desktop's style has other margins.
        if (widget->style() != SkinStyle())
            WearSkinStyle(widget);

        QRect geometry = DialogUnitsToPixels(control.x, control.y, control.cx, control.cy);
        // A drop-down list's template height includes its open list; the
        // closed box is as high as the style makes it.
        if (control.cls == ControlClass::ComboBox)
            geometry.setHeight(widget->sizeHint().height());
        widget->setGeometry(geometry);
        widget->setEnabled((control.style & WS_DISABLED) == 0);
        ApplyControlStyle(control, widget, dialogTemplateId, !plainLists.contains(control.id));
        widget->setVisible(control.visible);
        // Registered after it got its visibility: a picture the template shows
        // but the dialog hides at once is never read.
        if (control.cls == ControlClass::Static && (control.style & SS_TYPEMASK) == SS_BITMAP &&
            qobject_cast<QLabel*>(widget)) {
            picturesToLoad[widget] = control.bitmapId;
            if (widget->isVisible())
                LoadPicture(widget);
        }

        if (control.id != -1)
            templateControls[control.id] = widget;
        tabOrder.push_back(widget);
    }

    OrderTabStops();
    // As among windows, the first control lies on top.
    for (auto it = tabOrder.rbegin(); it != tabOrder.rend(); ++it)
        (*it)->raise();
}

void SkinDialog::OrderTabStops()
{
    // Only controls that take the focus are linked: Qt before 6.6 ignores a
    // link to a control without focus (a picture, the group box), later Qt
    // links through it, and the two chains differed.
    QWidget* previous = nullptr;
    for (QWidget* widget : tabOrder) {
        if (widget->focusPolicy() == Qt::NoFocus)
            continue;
        if (previous)
            QWidget::setTabOrder(previous, widget);
        previous = widget;
    }
}

bool SkinDialog::focusNextPrevChild(bool next)
{
    // Template order is the tab order. Qt's own focus chain cannot be trusted
    // with it: Qt 6.4 splits the chain around a list that gave up its edit
    // field, so Tab there skipped every button.
    QWidget* focused = focusWidget();
    const auto current = std::find_if(tabOrder.begin(), tabOrder.end(), [focused](QWidget* w) {
        return focused && (w == focused || w->isAncestorOf(focused));
    });
    if (current == tabOrder.end())
        return QDialog::focusNextPrevChild(next);
    const std::size_t count = tabOrder.size();
    const std::size_t at = static_cast<std::size_t>(current - tabOrder.begin());
    for (std::size_t step = 1; step < count; ++step) {
        QWidget* candidate = tabOrder[(at + (next ? step : count - step)) % count];
        if (candidate->isVisible() && candidate->isEnabled() &&
            (candidate->focusPolicy() & Qt::TabFocus)) {
            candidate->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
            return true;
        }
    }
    return true;
}

bool SkinDialog::BelongsToSkin(const QWidget* widget) const
{
    for (const QWidget* w = widget; w; w = w->parentWidget()) {
        if (w == this)
            return true;
        // Popups (a list's drop-down) are part of their control; any other
        // window is a box or dialog of its own.
        if (w->isWindow() && w->windowType() != Qt::Popup)
            return false;
    }
    return false;
}

void SkinDialog::LoadPicture(QObject* picture)
{
    const auto pending = picturesToLoad.find(picture);
    if (pending == picturesToLoad.end())
        return;
    const int bitmapId = pending->second;
    picturesToLoad.erase(pending);
    auto* label = qobject_cast<QLabel*>(picture);
    if (!label)
        return;
    label->setPixmap(QPixmap::fromImage(LoadBitmapResource(bitmapId, label->devicePixelRatioF())));
}

bool SkinDialog::event(QEvent* event)
{
    // A picture that leaves the dialog (deleted or moved elsewhere) before it
    // was ever shown must not be looked up again.
    if (event->type() == QEvent::ChildRemoved)
        picturesToLoad.erase(static_cast<QChildEvent*>(event)->child());
    return QDialog::event(event);
}

bool SkinDialog::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if ((type == QEvent::ShowToParent || type == QEvent::Show) && !picturesToLoad.empty())
        LoadPicture(watched);
    if (type == QEvent::Polish && watched->isWidgetType()) {
        auto* widget = static_cast<QWidget*>(watched);
        if (widget != this && widget->style() != SkinStyle() && BelongsToSkin(widget)) {
            widget->setStyle(SkinStyle());
            if (widget->isWindow())
                widget->setPalette(SkinPalette());
        }
    }
    if (type == QEvent::KeyPress && watched->isWidgetType()) {
        auto* widget = static_cast<QWidget*>(watched);
        if (widget->window() == this && IsEnterOrEsc(static_cast<QKeyEvent*>(event)) &&
            !HandlesOwnKeys(widget))
            return true;
    }
    return QDialog::eventFilter(watched, event);
}

void SkinDialog::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    if (!TileBackground(painter, rect()))
        QDialog::paintEvent(event);
}

void SkinDialog::keyPressEvent(QKeyEvent* event)
{
    // No default button, no cancel.
    if (IsEnterOrEsc(event)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void SkinDialog::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QDialog::mousePressEvent(event);
        return;
    }
    event->accept();
    QWindow* window = windowHandle();
    if (window && window->startSystemMove())
        return;
    dragging = true;
    dragOffset = event->globalPosition().toPoint() - pos();
}

void SkinDialog::mouseMoveEvent(QMouseEvent* event)
{
    if (dragging && (event->buttons() & Qt::LeftButton)) {
        move(event->globalPosition().toPoint() - dragOffset);
        event->accept();
        return;
    }
    dragging = false;
    QDialog::mouseMoveEvent(event);
}

void SkinDialog::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        dragging = false;
    QDialog::mouseReleaseEvent(event);
}

void SkinDialog::showEvent(QShowEvent* event)
{
    // Shown without DoModal (show(), exec()): still initialise first.
    if (!initialised)
        InitDialog();
    QDialog::showEvent(event);
}
