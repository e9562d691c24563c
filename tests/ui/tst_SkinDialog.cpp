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

// A dialog of any template that hands its members to the applier the way the
// program's dialogs do.
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
    using QLineEdit::QLineEdit;
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

const QRect Dlu(int x, int y, int cx, int cy)
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
    void tileCoversWiderAndTallerRectangles();
    void tileStartsAtOriginWhateverTheRectangle();
    void paintsBackgroundOrPlatformDefault();
    void enterAndEscDoNothing_data();
    void enterAndEscDoNothing();
    void fieldWithOwnKeyHandlingSeesEnterFirst();
    void dragByBackgroundMovesWindow();
    void dragByPictureMovesWindow();
    void pressOnButtonClicksWithoutMoving();
    void doModalReturnsAtOnceWhenEndedDuringInit();
    void doModalRunsUntilEnded();
    void initialisationFocusesFirstTabStop();
    void mainWindowTemplate();
    void configurationTemplates();
    void missingMembersAreCreated();
    void unknownTemplateLeavesDialogAlone();
};

void SkinDialogTest::loadBackground()
{
    BackgroundBitmap background;
    QVERIFY(!background.HasBackground());
    QCOMPARE(background.LoadBackground(0), 1);
    QVERIFY(!background.HasBackground());
    QCOMPARE(background.BackgroundId(), 0);

    QCOMPARE(background.LoadBackground(134), 1);
    QVERIFY(background.HasBackground());
    QCOMPARE(background.BackgroundId(), 134);
    QCOMPARE(background.Background().size(), QSize(425, 320));

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

    QImage canvas(10, 10, QImage::Format_RGB32);
    QPainter painter(&canvas);
    QCOMPARE(background.TileBackground(painter, QRect(0, 0, 10, 10)), 0);
}

void SkinDialogTest::tileCoversWiderAndTallerRectangles()
{
    BackgroundBitmap background;
    QCOMPARE(background.LoadBackground(134), 1);
    const QImage tile = Rgb(LoadBitmapResource(134));
    const QColor untouched(255, 0, 255);

    QImage canvas(1300, 1000, QImage::Format_RGB32);
    canvas.fill(untouched);
    {
        QPainter painter(&canvas);
        QCOMPARE(background.TileBackground(painter, QRect(0, 0, 426, 321)), 1);
    }
    // Two columns and two rows of whole tiles, nothing beyond.
    for (QPoint at : {QPoint(0, 0), QPoint(425, 0), QPoint(0, 320), QPoint(425, 320)})
        QVERIFY2(canvas.copy(QRect(at, tile.size())) == tile,
                 qPrintable(QStringLiteral("tile at %1,%2").arg(at.x()).arg(at.y())));
    QCOMPARE(canvas.pixelColor(850, 0), untouched);
    QCOMPARE(canvas.pixelColor(0, 640), untouched);
    QCOMPARE(canvas.pixelColor(1299, 999), untouched);
}

void SkinDialogTest::tileStartsAtOriginWhateverTheRectangle()
{
    BackgroundBitmap background;
    QCOMPARE(background.LoadBackground(163), 1);
    const QImage tile = Rgb(LoadBitmapResource(163));
    const QColor untouched(255, 0, 255);

    QImage canvas(1000, 800, QImage::Format_RGB32);
    canvas.fill(untouched);
    {
        QPainter painter(&canvas);
        // Only the size counts: 500 wide, 100 high, wherever it lies.
        QCOMPARE(background.TileBackground(painter, QRect(300, 400, 500, 100)), 1);
    }
    QVERIFY(canvas.copy(QRect(QPoint(0, 0), tile.size())) == tile);
    QVERIFY(canvas.copy(QRect(QPoint(425, 0), tile.size())) == tile);
    QCOMPARE(canvas.pixelColor(0, 320), untouched);
    QCOMPARE(canvas.pixelColor(850, 0), untouched);
    QCOMPARE(canvas.pixelColor(850, 500), untouched);

    canvas.fill(untouched);
    {
        QPainter painter(&canvas);
        QCOMPARE(background.TileBackground(painter, QRect(50, 50, 0, 0)), 1);
    }
    QCOMPARE(canvas.pixelColor(0, 0), untouched);
}

void SkinDialogTest::paintsBackgroundOrPlatformDefault()
{
    TestDialog dialog(129);
    dialog.Apply({});
    const QColor platform = dialog.palette().color(QPalette::Window);
    QImage shot = Rgb(dialog.grab().toImage());
    QCOMPARE(shot.size(), QSize(424, 316));
    QCOMPARE(shot.pixelColor(200, 2), platform);

    dialog.LoadBackground(163);
    shot = Rgb(dialog.grab().toImage());
    const QImage page = Rgb(LoadBitmapResource(163));
    // Top strip, above every control.
    QVERIFY(shot.copy(0, 0, 424, 40) == page.copy(0, 0, 424, 40));
}

void SkinDialogTest::enterAndEscDoNothing_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("focus");
    for (const char* focus : {"button", "push button", "list"}) {
        QTest::addRow("Return on %s", focus) << int(Qt::Key_Return) << QString(focus);
        QTest::addRow("Enter on %s", focus) << int(Qt::Key_Enter) << QString(focus);
        QTest::addRow("Esc on %s", focus) << int(Qt::Key_Escape) << QString(focus);
    }
}

void SkinDialogTest::enterAndEscDoNothing()
{
    QFETCH(int, key);
    QFETCH(QString, focus);

    TestDialog dialog(102);
    BitmapButton config, exit, help;
    QComboBox models, languages;
    dialog.Apply({{1001, &config}, {1, &exit}, {1035, &help}, {1000, &models}, {1056, &languages}});
    // A default push button that Enter would press if the dialog let it through,
    // and that presses itself on Enter while it has the focus.
    QPushButton fallback(QStringLiteral("default"), &dialog);
    fallback.setDefault(true);
    QSignalSpy rejected(&dialog, &QDialog::rejected);
    QSignalSpy accepted(&dialog, &QDialog::accepted);
    QSignalSpy exitClicked(&exit, &QAbstractButton::clicked);
    QSignalSpy fallbackClicked(&fallback, &QAbstractButton::clicked);
    QVERIFY(ShowAndActivate(dialog));

    QSignalSpy activated(&models, &QComboBox::activated);
    QWidget* target = &models;
    if (focus == QLatin1String("button"))
        target = &exit;
    else if (focus == QLatin1String("push button"))
        target = &fallback;
    target->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), target);
    models.setEditText(QStringLiteral("typed"));
    const int entries = models.count();

    QTest::keyClick(target, Qt::Key(key));
    QTest::keyClick(&dialog, Qt::Key(key));
    QApplication::processEvents();

    QVERIFY(dialog.isVisible());
    QCOMPARE(rejected.count(), 0);
    QCOMPARE(accepted.count(), 0);
    QCOMPARE(exitClicked.count(), 0);
    QCOMPARE(fallbackClicked.count(), 0);
    QCOMPARE(models.count(), entries);
    QCOMPARE(activated.count(), 0);
    // Other keys still reach the control.
    QSignalSpy spaceClicked(&exit, &QAbstractButton::clicked);
    QTest::keyClick(&exit, Qt::Key_Space);
    QCOMPARE(spaceClicked.count(), 1);
}

void SkinDialogTest::fieldWithOwnKeyHandlingSeesEnterFirst()
{
    TestDialog dialog(129);
    OwnKeysEdit slot1, slot2;
    dialog.Apply({{1002, &slot1}, {1003, &slot2}});
    QSignalSpy rejected(&dialog, &QDialog::rejected);
    QVERIFY(ShowAndActivate(dialog));
    slot1.setFocus();
    QTest::keyClick(&slot1, Qt::Key_Return);
    QTest::keyClick(&slot1, Qt::Key_Escape);
    QCOMPARE(slot1.keys, (QList<int>{Qt::Key_Return, Qt::Key_Escape}));
    QVERIFY(dialog.isVisible());
    QCOMPARE(rejected.count(), 0);

    // A plain field passes Esc on; the dialog still drops it.
    QLineEdit plain(&dialog);
    plain.show();
    plain.setFocus();
    QTest::keyClick(&plain, Qt::Key_Escape);
    QTest::keyClick(&plain, Qt::Key_Return);
    QVERIFY(dialog.isVisible());
    QCOMPARE(rejected.count(), 0);
}

void SkinDialogTest::dragByBackgroundMovesWindow()
{
    TestDialog dialog(129);
    dialog.Apply({});
    dialog.move(100, 100);
    QVERIFY(ShowAndActivate(dialog));
    const QPoint start = dialog.pos();

    QTest::mousePress(&dialog, Qt::LeftButton, {}, QPoint(200, 10));
    QTest::mouseMove(&dialog, QPoint(230, 50));
    QTest::mouseRelease(&dialog, Qt::LeftButton, {}, QPoint(230, 50));
    QTRY_COMPARE(dialog.pos(), start + QPoint(30, 40));

    // Moving without the button held no longer drags.
    const QPoint after = dialog.pos();
    QTest::mouseMove(&dialog, QPoint(10, 10));
    QApplication::processEvents();
    QCOMPARE(dialog.pos(), after);

    // The right button does not drag either.
    QTest::mousePress(&dialog, Qt::RightButton, {}, QPoint(200, 10));
    QTest::mouseMove(&dialog, QPoint(250, 60));
    QTest::mouseRelease(&dialog, Qt::RightButton, {}, QPoint(250, 60));
    QApplication::processEvents();
    QCOMPARE(dialog.pos(), after);
}

void SkinDialogTest::dragByPictureMovesWindow()
{
    TestDialog dialog(102);
    QLabel picture;
    dialog.Apply({{1043, &picture}});
    dialog.move(50, 60);
    QVERIFY(ShowAndActivate(dialog));
    QVERIFY(picture.isVisible());
    QVERIFY(!picture.pixmap().isNull());
    const QPoint start = dialog.pos();

    QTest::mousePress(&picture, Qt::LeftButton, {}, QPoint(40, 40));
    QTest::mouseMove(&picture, QPoint(20, 90));
    QTest::mouseRelease(&picture, Qt::LeftButton, {}, QPoint(20, 90));
    QTRY_COMPARE(dialog.pos(), start + QPoint(-20, 50));

    // The group box the applier created is no obstacle either.
    QWidget* group = dialog.findChild<QGroupBox*>();
    QVERIFY(group);
    const QPoint inGroup = group->geometry().topLeft() + QPoint(3, 3);
    QCOMPARE(dialog.childAt(inGroup), nullptr);
}

void SkinDialogTest::pressOnButtonClicksWithoutMoving()
{
    TestDialog dialog(140);
    BitmapButton ok;
    dialog.Apply({{1, &ok}});
    ok.LoadBitmaps(135, 135, 136);
    ok.SizeToContent();
    dialog.move(80, 80);
    QVERIFY(ShowAndActivate(dialog));
    const QPoint start = dialog.pos();
    QSignalSpy clicked(&ok, &QAbstractButton::clicked);

    QTest::mousePress(&ok, Qt::LeftButton, {}, QPoint(10, 10));
    QVERIFY(ok.isDown());
    QTest::mouseMove(&ok, QPoint(20, 12));
    QTest::mouseRelease(&ok, Qt::LeftButton, {}, QPoint(20, 12));
    QCOMPARE(clicked.count(), 1);
    QCOMPARE(dialog.pos(), start);

    // Fields keep their clicks as well.
    TestDialog fields(129);
    QLineEdit slot1, slot2;
    fields.Apply({{1002, &slot1}, {1003, &slot2}});
    slot1.setText(QStringLiteral("Ctrl+F5"));
    fields.move(60, 60);
    QVERIFY(ShowAndActivate(fields));
    const QPoint fieldsStart = fields.pos();
    QTest::mousePress(&slot2, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseMove(&slot2, QPoint(40, 30));
    QTest::mouseRelease(&slot2, Qt::LeftButton, {}, QPoint(40, 30));
    QCOMPARE(fields.pos(), fieldsStart);
    QTRY_VERIFY(slot2.hasFocus());
}

void SkinDialogTest::doModalReturnsAtOnceWhenEndedDuringInit()
{
    TestDialog dialog(129);
    dialog.Apply({});
    dialog.onInit = [](TestDialog& self) {
        self.EndDialog(QDialog::Rejected);
        return true;
    };
    QSignalSpy finished(&dialog, &QDialog::finished);
    // exec() would never return here: nothing else ends the dialog.
    QCOMPARE(dialog.DoModal(), int(QDialog::Rejected));
    QVERIFY(dialog.EndedDuringInit());
    QCOMPARE(dialog.initCalls, 1);
    QCOMPARE(dialog.showCalls, 0);
    QCOMPARE(dialog.destroyCalls, 1);
    QVERIFY(!dialog.isVisible());

    TestDialog other(129);
    other.onInit = [](TestDialog& self) {
        self.EndDialog(5);
        return false;
    };
    QCOMPARE(other.DoModal(), 5);
    QCOMPARE(other.showCalls, 0);
}

void SkinDialogTest::doModalRunsUntilEnded()
{
    TestDialog dialog(129);
    dialog.Apply({});
    QTimer::singleShot(0, &dialog, [&dialog] {
        QVERIFY(dialog.isVisible());
        dialog.EndDialog(3);
    });
    QCOMPARE(dialog.DoModal(), 3);
    QVERIFY(!dialog.EndedDuringInit());
    QCOMPARE(dialog.initCalls, 1);
    QCOMPARE(dialog.destroyCalls, 1);

    // Initialising again does not rerun it.
    QVERIFY(dialog.InitDialog());
    QCOMPARE(dialog.initCalls, 1);
}

void SkinDialogTest::initialisationFocusesFirstTabStop()
{
    TestDialog dialog(129);
    QLineEdit slot1, slot2;
    dialog.Apply({{1002, &slot1}, {1003, &slot2}});
    QVERIFY(ShowAndActivate(dialog));
    QCOMPARE(QApplication::focusWidget(), &slot1);
    // Tab follows the template order: slot 1, slot 2, LOAD, RESET, OK, Cancel.
    QCOMPARE(slot1.nextInFocusChain(), &slot2);
    QCOMPARE(slot2.nextInFocusChain(), dialog.TemplateControl(1009));
    QCOMPARE(dialog.TemplateControl(1009)->nextInFocusChain(), dialog.TemplateControl(1010));
    QCOMPARE(dialog.TemplateControl(1)->nextInFocusChain(), dialog.TemplateControl(1008));
}

void SkinDialogTest::mainWindowTemplate()
{
    TestDialog dialog(102);
    QLabel pictures[8];
    const int pictureIds[8] = {1043, 1045, 1042, 1041, 1040, 1039, 1038, 1036};
    QLabel link;
    BitmapButton help, exit, config;
    QComboBox models, languages;
    std::map<int, QWidget*> members{{1037, &link},   {1035, &help},   {1, &exit},
                                    {1001, &config}, {1000, &models}, {1056, &languages}};
    for (int i = 0; i < 8; ++i)
        members[pictureIds[i]] = &pictures[i];
    dialog.Apply(members);
    dialog.show();

    QCOMPARE(dialog.size(), QSize(424, 318));
    QCOMPARE(config.geometry(), Dlu(10, 139, 33, 13));
    QCOMPARE(exit.geometry(), Dlu(156, 139, 33, 13));
    QCOMPARE(help.geometry(), Dlu(10, 120, 42, 14));
    QCOMPARE(exit.accessibleName(), QStringLiteral("Exit"));
    QCOMPARE(help.text(), QStringLiteral("HELP"));
    QCOMPARE(models.pos(), QPoint(26, 96));
    QCOMPARE(models.width(), 134);
    QCOMPARE(languages.geometry().topLeft(), QPoint(162, 278));
    QVERIFY(models.isEditable());
    QCOMPARE(models.count(), 7);
    QCOMPARE(models.itemText(6), QStringLiteral("QN-95 Vela"));
    QCOMPARE(languages.count(), 2);
    QCOMPARE(languages.itemText(1), QStringLiteral("Korean"));

    QVERIFY(!link.isVisible());
    QCOMPARE(link.text(), QStringLiteral("LINK"));
    QCOMPARE(link.geometry(), Dlu(7, 104, 42, 14));
    QVERIFY(pictures[0].isVisible()); // 1043, the only picture the template shows
    for (int i = 1; i < 8; ++i)
        QVERIFY2(!pictures[i].isVisible(), qPrintable(QString::number(pictureIds[i])));
    QCOMPARE(pictures[6].geometry(), Dlu(132, 0, 80, 138)); // 1038
    QCOMPARE(Rgb(pictures[6].pixmap().toImage()), Rgb(LoadBitmapResource(158)));
    QCOMPARE(pictures[4].pos(), QPoint(266, 0)); // 1040
    QCOMPARE(Rgb(pictures[0].pixmap().toImage()), Rgb(LoadBitmapResource(176)));

    const QList<QGroupBox*> groups = dialog.findChildren<QGroupBox*>();
    QCOMPARE(groups.size(), 1);
    QGroupBox* language = groups.front();
    QCOMPARE(language->title(), QStringLiteral("Language"));
    QCOMPARE(language->geometry(), Dlu(79, 130, 51, 23));
    QVERIFY(!language->isEnabled());
    QVERIFY(language->isVisible());
    QCOMPARE(language->alignment(), Qt::AlignHCenter);
    // The list inside the group box stays clickable.
    QWidget* hit = dialog.childAt(languages.geometry().center());
    QVERIFY(hit == &languages || languages.isAncestorOf(hit));
}

void SkinDialogTest::configurationTemplates()
{
    {
        TestDialog dialog(130);
        QLineEdit f1, f5;
        BitmapButton ok;
        dialog.Apply({{1011, &f1}, {1033, &f5}, {1, &ok}});
        QCOMPARE(dialog.size(), QSize(424, 318));
        QCOMPARE(f1.geometry(), Dlu(16, 25, 50, 12));
        QCOMPARE(f5.geometry(), Dlu(146, 81, 50, 12));
        QCOMPARE(f1.alignment(), Qt::AlignCenter);
        QVERIFY(f1.hasFrame());
        QCOMPARE(ok.geometry(), Dlu(14, 140, 30, 8));
        ok.LoadBitmaps(136, 135, 136);
        ok.SizeToContent();
        QCOMPARE(ok.geometry(), QRect(28, 280, 85, 25));
        // The fifth field comes last in the tab order, after Cancel.
        QCOMPARE(dialog.TemplateControl(2)->nextInFocusChain(), &f5);
    }
    {
        TestDialog dialog(131);
        dialog.Apply({});
        QCOMPARE(dialog.size(), QSize(416, 320));
        QCOMPARE(dialog.TemplateControl(1022)->geometry(), Dlu(146, 93, 49, 12));
        QCOMPARE(dialog.TemplateControl(1023)->geometry(), Dlu(85, 141, 30, 8));
    }
    {
        TestDialog dialog(132);
        dialog.Apply({});
        QCOMPARE(dialog.size(), QSize(420, 318));
        QCOMPARE(dialog.TemplateControl(1027)->geometry(), Dlu(18, 65, 47, 12));
        QCOMPARE(dialog.TemplateControl(1032)->geometry(), Dlu(145, 115, 50, 12));
        QCOMPARE(dialog.TemplateControl(1024)->accessibleName(), QStringLiteral("RESET"));
    }
    {
        TestDialog dialog(140);
        dialog.Apply({});
        QCOMPARE(dialog.size(), QSize(426, 314));
        QCOMPARE(dialog.TemplateControl(1)->geometry(), Dlu(86, 137, 33, 13));
    }
}

void SkinDialogTest::missingMembersAreCreated()
{
    TestDialog dialog(129);
    QLineEdit slot2;
    dialog.Apply({{1003, &slot2}});
    QCOMPARE(dialog.TemplateControl(1003), &slot2);
    QCOMPARE(slot2.parentWidget(), &dialog);
    QVERIFY(qobject_cast<QLineEdit*>(dialog.TemplateControl(1002)));
    QCOMPARE(dialog.TemplateControl(1002)->geometry(), Dlu(20, 39, 45, 12));
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
    QCOMPARE(dialog.TemplateId(), 999);
}

QTEST_MAIN(SkinDialogTest)
#include "tst_SkinDialog.moc"
