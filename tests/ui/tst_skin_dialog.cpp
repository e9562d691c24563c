#include "res/Resources.h"
#include "ui/BitmapButton.h"
#include "ui/SkinDialog.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QtTest>

namespace {

class TestDialog : public SkinDialog
{
public:
    explicit TestDialog(int templateId) : SkinDialog(templateId) {}
    void Apply(const std::map<int, QWidget*>& controls) { ApplyTemplate(controls); }

    std::function<bool(TestDialog&)> onInit;
    int initCalls = 0;
    int showCalls = 0;
    int destroyCalls = 0;

protected:
    bool OnInitDialog() override
    {
        ++initCalls;
        return onInit ? onInit(*this) : true;
    }
    void OnDestroy() override { ++destroyCalls; }
    void showEvent(QShowEvent* event) override
    {
        ++showCalls;
        SkinDialog::showEvent(event);
    }
};

// Takes Enter and Esc itself, as the key capture field does.
class OwnKeysEdit : public QLineEdit
{
public:
    QList<int> keys;

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        keys.append(event->key());
        event->accept();
    }
};

QImage Rgb(const QImage& image)
{
    return image.convertToFormat(QImage::Format_RGB32);
}

QRect Dlu(int x, int y, int cx, int cy)
{
    return QRect(2 * x, 2 * y, 2 * cx, 2 * cy);
}

bool ShowAndActivate(QWidget& widget)
{
    widget.show();
    widget.activateWindow();
    return QTest::qWaitForWindowActive(&widget);
}

} // namespace

class SkinDialogTest : public QObject
{
    Q_OBJECT
private slots:
    void loadBackground();
    void tileFromOrigin_data();
    void tileFromOrigin();
    void paintsBackgroundOrPlatformDefault();
    void enterAndEscDoNothing();
    void firstFieldHasFocusAndSeesEnterFirst();
    void drag();
    void doModal();
    void templateGeometry();
    void mainWindowTemplate();
    void missingMembersAreCreated();
    void unknownTemplateLeavesDialogAlone();
};

void SkinDialogTest::loadBackground()
{
    BackgroundBitmap background;
    QCOMPARE(background.LoadBackground(0), 1);
    QVERIFY(!background.HasBackground());

    QCOMPARE(background.LoadBackground(134), 1);
    QCOMPARE(background.BackgroundId(), 134);
    QCOMPARE(background.LoadBackground(163), 1);
    QCOMPARE(background.BackgroundId(), 163);
    QCOMPARE(Rgb(background.Background()), Rgb(LoadBitmapResource(163)));

    // A failed load still drops the bitmap held before.
    QCOMPARE(background.LoadBackground(4242), 0);
    QVERIFY(!background.HasBackground());
    QCOMPARE(background.BackgroundId(), 0);

    QCOMPARE(background.LoadBackground(134), 1);
    QCOMPARE(background.LoadBackground(0), 1);
    QVERIFY(!background.HasBackground());
    QCOMPARE(background.BackgroundId(), 0);

    QImage canvas(10, 10, QImage::Format_RGB32);
    QPainter painter(&canvas);
    QCOMPARE(background.TileBackground(painter, QRect(0, 0, 10, 10)), 0);
}

void SkinDialogTest::tileFromOrigin_data()
{
    // Tiles are 425x320 and laid from the origin: only the rectangle's size counts.
    QTest::addColumn<QRect>("rect");
    QTest::addColumn<QList<QPoint>>("tiles");
    QTest::addColumn<QList<QPoint>>("bare");
    QTest::newRow("wider and taller")
        << QRect(0, 0, 426, 321) << QList<QPoint>{{0, 0}, {425, 0}, {0, 320}, {425, 320}}
        << QList<QPoint>{{850, 0}, {0, 640}, {1299, 999}};
    QTest::newRow("not at 0,0") << QRect(300, 400, 500, 100) << QList<QPoint>{{0, 0}, {425, 0}}
                                << QList<QPoint>{{0, 320}, {850, 0}, {850, 500}};
    QTest::newRow("empty") << QRect(50, 50, 0, 0) << QList<QPoint>{} << QList<QPoint>{{0, 0}};
}

void SkinDialogTest::tileFromOrigin()
{
    QFETCH(QRect, rect);
    QFETCH(QList<QPoint>, tiles);
    QFETCH(QList<QPoint>, bare);
    BackgroundBitmap background;
    QCOMPARE(background.LoadBackground(134), 1);
    const QImage tile = Rgb(LoadBitmapResource(134));
    const QColor untouched(255, 0, 255);
    QImage canvas(1300, 1000, QImage::Format_RGB32);
    canvas.fill(untouched);
    {
        QPainter painter(&canvas);
        QCOMPARE(background.TileBackground(painter, rect), 1);
    }
    for (QPoint at : tiles)
        QVERIFY2(canvas.copy(QRect(at, tile.size())) == tile,
                 qPrintable(QStringLiteral("tile at %1,%2").arg(at.x()).arg(at.y())));
    for (QPoint at : bare)
        QCOMPARE(canvas.pixelColor(at), untouched);
}

void SkinDialogTest::paintsBackgroundOrPlatformDefault()
{
    TestDialog dialog(129);
    dialog.Apply({});
    QImage shot = Rgb(dialog.grab().toImage());
    QCOMPARE(shot.size(), QSize(424, 316));
    QCOMPARE(shot.pixelColor(200, 2), dialog.palette().color(QPalette::Window));

    dialog.LoadBackground(163);
    shot = Rgb(dialog.grab().toImage());
    // Top strip, above every control.
    QVERIFY(shot.copy(0, 0, 424, 40) == Rgb(LoadBitmapResource(163)).copy(0, 0, 424, 40));
}

void SkinDialogTest::enterAndEscDoNothing()
{
    TestDialog dialog(102);
    BitmapButton exit;
    QComboBox models;
    dialog.Apply({{1, &exit}, {1000, &models}});
    // A default push button that Enter would press if the dialog let it through.
    QPushButton fallback(QStringLiteral("default"), &dialog);
    fallback.setDefault(true);
    QSignalSpy finished(&dialog, &QDialog::finished);
    QSignalSpy exitClicked(&exit, &QAbstractButton::clicked);
    QSignalSpy fallbackClicked(&fallback, &QAbstractButton::clicked);
    QSignalSpy activated(&models, &QComboBox::activated);
    QVERIFY(ShowAndActivate(dialog));
    const int entries = models.count();

    for (QWidget* focus : std::initializer_list<QWidget*>{&exit, &fallback, &models}) {
        focus->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), focus);
        // An entry's text, which Enter in the list would choose.
        models.setEditText(models.itemText(1));
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
            QTest::keyClick(focus, key);
            QTest::keyClick(&dialog, key);
        }
    }
    QApplication::processEvents();
    QVERIFY(dialog.isVisible());
    QCOMPARE(finished.count(), 0);
    QCOMPARE(exitClicked.count(), 0);
    QCOMPARE(fallbackClicked.count(), 0);
    QCOMPARE(models.count(), entries);
    QCOMPARE(activated.count(), 0);
    // Other keys still reach the control.
    QTest::keyClick(&exit, Qt::Key_Space);
    QCOMPARE(exitClicked.count(), 1);
}

void SkinDialogTest::firstFieldHasFocusAndSeesEnterFirst()
{
    TestDialog dialog(129);
    OwnKeysEdit slot1;
    QLineEdit plain(&dialog); // already a child, so only the applier can put it second
    dialog.Apply({{1002, &slot1}, {1003, &plain}});
    QSignalSpy finished(&dialog, &QDialog::finished);
    QVERIFY(ShowAndActivate(dialog));
    QCOMPARE(QApplication::focusWidget(), &slot1);
    // Tab follows the template order: slot 1, slot 2, LOAD, RESET, OK, Cancel.
    QCOMPARE(slot1.nextInFocusChain(), &plain);
    QCOMPARE(plain.nextInFocusChain(), dialog.TemplateControl(1009));
    QCOMPARE(dialog.TemplateControl(1)->nextInFocusChain(), dialog.TemplateControl(1008));

    QTest::keyClick(&slot1, Qt::Key_Return);
    QTest::keyClick(&slot1, Qt::Key_Escape);
    QCOMPARE(slot1.keys, (QList<int>{Qt::Key_Return, Qt::Key_Escape}));
    // A plain field passes Esc on; the dialog still drops it.
    plain.setFocus();
    QTest::keyClick(&plain, Qt::Key_Escape);
    QTest::keyClick(&plain, Qt::Key_Return);
    QApplication::processEvents();
    QVERIFY(dialog.isVisible());
    QCOMPARE(finished.count(), 0);
}

void SkinDialogTest::drag()
{
    TestDialog dialog(102);
    QLabel picture;
    BitmapButton exit;
    dialog.Apply({{1043, &picture}, {1, &exit}});
    exit.LoadBitmaps(137, 138);
    exit.SizeToContent();
    QSignalSpy clicked(&exit, &QAbstractButton::clicked);
    QVERIFY(ShowAndActivate(dialog));
    const struct
    {
        const char* by;
        QWidget* target;
        Qt::MouseButton button;
        QPoint moved;
        int clicks;
    } cases[] = {{"background", &dialog, Qt::LeftButton, {30, 10}, 0},
                 {"picture", &picture, Qt::LeftButton, {30, 10}, 0},
                 {"right button", &dialog, Qt::RightButton, {}, 0},
                 {"bitmap button", &exit, Qt::LeftButton, {}, 1}};
    for (const auto& c : cases) {
        const QPoint start = dialog.pos();
        clicked.clear();
        QTest::mousePress(c.target, c.button, {}, QPoint(10, 10));
        QTest::mouseMove(c.target, QPoint(40, 20));
        QTest::mouseRelease(c.target, c.button, {}, QPoint(40, 20));
        QApplication::processEvents();
        QTRY_VERIFY2(dialog.pos() == start + c.moved, c.by);
        QVERIFY2(clicked.count() == c.clicks, c.by);
        // Once released, moving no longer drags.
        QTest::mouseMove(c.target, QPoint(0, 0));
        QApplication::processEvents();
        QVERIFY2(dialog.pos() == start + c.moved, c.by);
    }
}

void SkinDialogTest::doModal()
{
    TestDialog ended(129);
    ended.onInit = [](TestDialog& self) {
        self.EndDialog(5);
        return true;
    };
    // exec() would never return here: nothing else ends the dialog.
    QCOMPARE(ended.DoModal(), 5);
    QVERIFY(ended.EndedDuringInit());
    QCOMPARE(ended.initCalls, 1);
    QCOMPARE(ended.showCalls, 0);
    QCOMPARE(ended.destroyCalls, 1);

    TestDialog shown(129);
    QTimer::singleShot(0, &shown, [&shown] {
        QVERIFY(shown.isVisible());
        shown.EndDialog(3);
    });
    QCOMPARE(shown.DoModal(), 3);
    QVERIFY(!shown.EndedDuringInit());
    QCOMPARE(shown.destroyCalls, 1);
    QVERIFY(shown.InitDialog());
    QCOMPARE(shown.initCalls, 1);
}

void SkinDialogTest::templateGeometry()
{
    const struct
    {
        int templateId;
        QSize size;
        int control;
        QRect geometry;
    } cases[] = {
        {102, {424, 318}, 1001, Dlu(10, 139, 33, 13)}, {129, {424, 316}, 1002, Dlu(20, 39, 45, 12)},
        {130, {424, 318}, 1033, Dlu(146, 81, 50, 12)}, {131, {416, 320}, 1023, Dlu(85, 141, 30, 8)},
        {132, {420, 318}, 1027, Dlu(18, 65, 47, 12)},  {140, {426, 314}, 1, Dlu(86, 137, 33, 13)}};
    for (const auto& c : cases) {
        TestDialog dialog(c.templateId);
        dialog.Apply({});
        QCOMPARE(dialog.size(), c.size);
        QVERIFY(dialog.TemplateControl(c.control));
        QCOMPARE(dialog.TemplateControl(c.control)->geometry(), c.geometry);
    }
}

void SkinDialogTest::mainWindowTemplate()
{
    TestDialog dialog(102);
    QLabel shown, hidden, link;
    QComboBox models, languages;
    dialog.Apply(
        {{1043, &shown}, {1038, &hidden}, {1037, &link}, {1000, &models}, {1056, &languages}});
    dialog.show();

    // A list's template height includes its open list; the closed box is not that high.
    QCOMPARE(models.geometry(), QRect(26, 96, 134, models.sizeHint().height()));
    QVERIFY(models.isEditable());
    QVERIFY(!link.isVisible());
    QCOMPARE(link.text(), QStringLiteral("LINK"));
    QVERIFY(shown.isVisible());
    QVERIFY(!hidden.isVisible());
    QCOMPARE(hidden.geometry(), Dlu(132, 0, 80, 138));
    // A picture is read when it is first shown, not before.
    QVERIFY(!shown.pixmap().isNull());
    QVERIFY(hidden.pixmap().isNull());
    hidden.show();
    QCOMPARE(Rgb(hidden.pixmap().toImage()), Rgb(LoadBitmapResource(158)));

    const QList<QGroupBox*> groups = dialog.findChildren<QGroupBox*>();
    QCOMPARE(groups.size(), 1);
    QGroupBox* group = groups.front();
    QCOMPARE(group->title(), QStringLiteral("Language"));
    QCOMPARE(group->geometry(), Dlu(79, 130, 51, 23));
    QVERIFY(!group->isEnabled());
    QCOMPARE(group->alignment(), Qt::AlignHCenter);
    // The list inside the group box stays clickable; the frame itself drags the dialog.
    QWidget* hit = dialog.childAt(languages.geometry().center());
    QVERIFY(hit == &languages || languages.isAncestorOf(hit));
    QCOMPARE(dialog.childAt(group->geometry().topLeft() + QPoint(3, 3)), nullptr);
}

void SkinDialogTest::missingMembersAreCreated()
{
    TestDialog dialog(129);
    QLineEdit slot2;
    dialog.Apply({{1003, &slot2}});
    QCOMPARE(dialog.TemplateControl(1003), &slot2);
    QCOMPARE(slot2.parentWidget(), &dialog);
    auto* slot1 = qobject_cast<QLineEdit*>(dialog.TemplateControl(1002));
    QVERIFY(slot1);
    QCOMPARE(slot1->alignment(), Qt::AlignCenter);
    QVERIFY(slot1->hasFrame());
    auto* cancel = qobject_cast<BitmapButton*>(dialog.TemplateControl(1008));
    QVERIFY(cancel);
    QCOMPARE(cancel->accessibleName(), QStringLiteral("Cancel"));
    QVERIFY(!dialog.TemplateControl(2));
    QVERIFY(!dialog.TemplateControl(-1));
}

void SkinDialogTest::unknownTemplateLeavesDialogAlone()
{
    TestDialog dialog(999);
    QLineEdit field;
    field.resize(33, 11);
    dialog.Apply({{1002, &field}});
    QVERIFY(!field.parentWidget());
    QCOMPARE(field.size(), QSize(33, 11));
    QVERIFY(!dialog.TemplateControl(1002));
}

QTEST_MAIN(SkinDialogTest)
#include "tst_skin_dialog.moc"
