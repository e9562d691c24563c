// The skin under a dark desktop: every skinned dialog keeps its own light
// palette and style, its texts fit their controls, and its disabled caption
// stays readable.
#include "ConfigDialog.h"
#include "ConfigFamily.h"
#include "HelpDialog.h"
#include "KeyCaptureEdit.h"
#include "MainDialog.h"
#include "MessageBox.h"
#include "ModelTable.h"
#include "SkinLook.h"
#include "keys/KeyCodes.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QStyleFactory>
#include <QStyleOptionComboBox>
#include <QStyleOptionFrame>
#include <QtTest>

#include <memory>

namespace {

// What a dark desktop hands the program: a dark palette and, where installed,
// a dark style with margins of its own.
QPalette DarkPalette()
{
    QPalette dark;
    for (auto [role, colour] : {std::pair{QPalette::Window, QColor(0x35, 0x35, 0x35)},
                                {QPalette::WindowText, QColor(0xEE, 0xEE, 0xEC)},
                                {QPalette::Base, QColor(0x2D, 0x2D, 0x2D)},
                                {QPalette::AlternateBase, QColor(0x30, 0x30, 0x30)},
                                {QPalette::Text, QColor(0xEE, 0xEE, 0xEC)},
                                {QPalette::Button, QColor(0x3C, 0x3C, 0x3C)},
                                {QPalette::ButtonText, QColor(0xEE, 0xEE, 0xEC)},
                                {QPalette::Highlight, QColor(0x15, 0x53, 0x9E)},
                                {QPalette::HighlightedText, Qt::white}})
        dark.setColor(QPalette::All, role, colour);
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        dark.setColor(QPalette::Disabled, role, QColor(0x91, 0x91, 0x91));
    return dark;
}

struct Dialogs
{
    std::vector<std::unique_ptr<SkinDialog>> all;
    std::vector<QString> names;
};

// Every dialog of the program, initialised and shown, key fields holding their
// family's factory keys.
Dialogs MakeDialogs()
{
    Dialogs dialogs;
    auto main = std::make_unique<MainDialog>();
    main->InitDialog();
    dialogs.all.push_back(std::move(main));
    dialogs.names.push_back(QStringLiteral("main window"));
    for (const char* language : {"English", "Korean"}) {
        auto help = std::make_unique<HelpDialog>();
        help->SetLanguage(QString::fromLatin1(language));
        help->InitDialog();
        dialogs.all.push_back(std::move(help));
        dialogs.names.push_back(QStringLiteral("help %1").arg(QLatin1String(language)));
    }
    for (const char* model : {"LT-61", "LT-61P", "RV-80", "QN-95 Vela"}) {
        std::unique_ptr<ConfigDialog> config =
            CreateConfigDialog(FindModel(QString::fromLatin1(model))->dialogClass);
        HandOver(*config, QString::fromLatin1(model), QStringLiteral("English"),
                 MainDialog::kVendorId, MainDialog::kProductId);
        config->InitDialog();
        const ConfigFamily& family = config->Family();
        for (int slot = 1; slot <= family.tableSize; ++slot)
            config->KeyField(slot)->SetKey(family.factoryModifiers[slot - 1],
                                           KeyCodeToVirtualKey(family.factoryKeyCodes[slot - 1]));
        dialogs.all.push_back(std::move(config));
        dialogs.names.push_back(QString::fromLatin1(model));
    }
    for (const auto& dialog : dialogs.all)
        dialog->show();
    QApplication::processEvents();
    return dialogs;
}

} // namespace

class SkinLookTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        AppMessageBox::SetHandler([](QWidget*, const QString&, AppMessageBox::Buttons) {
            return int(AppMessageBox::IdOk);
        });
        if (QStyleFactory::keys().contains(QStringLiteral("Adwaita-Dark"), Qt::CaseInsensitive))
            QApplication::setStyle(QStringLiteral("Adwaita-Dark"));
        QApplication::setPalette(DarkPalette());
    }

    void everyControlWearsTheSkin();
    void listPopupsWearTheSkin();
    void textsFitTheirControls();
    void disabledCaptionIsReadable();
    void screenPicksTheDrawing();
    void contrastRatio_data();
    void contrastRatio();
};

void SkinLookTest::everyControlWearsTheSkin()
{
    const Dialogs dialogs = MakeDialogs();
    for (std::size_t d = 0; d < dialogs.all.size(); ++d) {
        SkinDialog* dialog = dialogs.all[d].get();
        QList<QWidget*> widgets = dialog->findChildren<QWidget*>();
        widgets.prepend(dialog);
        for (QWidget* widget : widgets) {
            const QString where =
                QStringLiteral("%1: %2 %3")
                    .arg(dialogs.names[d], widget->metaObject()->className(), widget->objectName());
            if (widget->window() != dialog)
                continue; // in a popup not yet shown; see listPopupsWearTheSkin
            QVERIFY2(widget->style() == SkinStyle(), qPrintable(where));
            for (auto role : {QPalette::Window, QPalette::Base, QPalette::Button}) {
                const QColor shown = widget->palette().color(QPalette::Active, role);
                QVERIFY2(shown.lightness() > 200, qPrintable(where));
            }
            QVERIFY2(widget->palette().color(QPalette::Active, QPalette::Text).lightness() < 80,
                     qPrintable(where));
            // A closed list is as high as the skin's style makes it, not the desktop's.
            if (auto* list = qobject_cast<QComboBox*>(widget))
                QVERIFY2(list->height() == list->sizeHint().height(), qPrintable(where));
        }
    }
}

void SkinLookTest::listPopupsWearTheSkin()
{
    MainDialog dialog;
    dialog.InitDialog();
    dialog.show();
    for (QComboBox* list : {&dialog.ModelList(), &dialog.LanguageList()}) {
#if QT_VERSION < QT_VERSION_CHECK(6, 5, 0)
        // Built when first opened, not with the window (Qt 6.8 builds it as
        // soon as an entry is chosen).
        QVERIFY(!list->findChild<QAbstractItemView*>());
#endif
        list->showPopup();
        QAbstractItemView* view = list->view();
        QVERIFY(view->isVisible());
        QCOMPARE(view->style(), SkinStyle());
        QCOMPARE(view->window()->style(), SkinStyle());
        QCOMPARE(view->palette().color(QPalette::Base), SkinPalette().color(QPalette::Base));
        QCOMPARE(view->palette().color(QPalette::Text), SkinPalette().color(QPalette::Text));
        list->hidePopup();
    }
}

void SkinLookTest::textsFitTheirControls()
{
    // A theme's wider frame used to cut "English" to "Englisl" and a key
    // field's "Page Down" to "'age Down".
    const Dialogs dialogs = MakeDialogs();
    int checked = 0;
    for (std::size_t d = 0; d < dialogs.all.size(); ++d) {
        SkinDialog* dialog = dialogs.all[d].get();
        for (QComboBox* list : dialog->findChildren<QComboBox*>()) {
            QStyleOptionComboBox option;
            option.initFrom(list);
            option.editable = list->isEditable();
            option.frame = list->hasFrame();
            const int room = list->style()
                                 ->subControlRect(QStyle::CC_ComboBox, &option,
                                                  QStyle::SC_ComboBoxEditField, list)
                                 .width();
            for (int i = 0; i < list->count(); ++i) {
                const int need = list->fontMetrics().horizontalAdvance(list->itemText(i));
                QVERIFY2(need <= room, qPrintable(QStringLiteral("%1: \"%2\" needs %3 of %4 px")
                                                      .arg(dialogs.names[d], list->itemText(i))
                                                      .arg(need)
                                                      .arg(room)));
                ++checked;
            }
        }
        for (QLineEdit* field : dialog->findChildren<QLineEdit*>()) {
            if (!field->isVisible() || field->text().isEmpty())
                continue;
            QStyleOptionFrame option;
            option.initFrom(field);
            option.lineWidth =
                field->hasFrame()
                    ? field->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, field)
                    : 0;
            const QMargins margins = field->textMargins();
            // QLineEdit keeps one more pixel free on either side of its text.
            const int room = field->style()
                                 ->subElementRect(QStyle::SE_LineEditContents, &option, field)
                                 .width() -
                             margins.left() - margins.right() - 2;
            const int need = field->fontMetrics().horizontalAdvance(field->text());
            QVERIFY2(need <= room, qPrintable(QStringLiteral("%1: \"%2\" needs %3 of %4 px")
                                                  .arg(dialogs.names[d], field->text())
                                                  .arg(need)
                                                  .arg(room)));
            ++checked;
        }
    }
    QVERIFY(checked > 20);
}

void SkinLookTest::disabledCaptionIsReadable()
{
    MainDialog dialog;
    dialog.InitDialog();
    dialog.show();
    const QList<QGroupBox*> groups = dialog.findChildren<QGroupBox*>();
    QCOMPARE(groups.size(), 1);
    QGroupBox* group = groups.front();
    QVERIFY(!group->isEnabled());
    QCOMPARE(group->title(), QStringLiteral("Language"));

    // The caption as drawn: its darkest pixel against the page around it.
    const QRect caption(group->x(), group->y(), group->width(), group->fontMetrics().height() + 2);
    const QImage shot = dialog.grab(caption).toImage();
    QColor darkest = Qt::white, lightest = Qt::black;
    for (int y = 0; y < shot.height(); ++y) {
        for (int x = 0; x < shot.width(); ++x) {
            const QColor c = shot.pixelColor(x, y);
            if (c.lightness() < darkest.lightness())
                darkest = c;
            if (c.lightness() > lightest.lightness())
                lightest = c;
        }
    }
    const double ratio = ContrastRatio(darkest, lightest);
    QVERIFY2(ratio >= 4.5, qPrintable(QStringLiteral("%1 on %2: %3:1")
                                          .arg(darkest.name(), lightest.name())
                                          .arg(ratio, 0, 'f', 2)));
}

void SkinLookTest::screenPicksTheDrawing()
{
    // Run once at 1x and once at QT_SCALE_FACTOR=2: the same sizes in pixels of
    // the dialog, drawn from the drawing that matches the screen.
    MainDialog dialog;
    dialog.InitDialog();
    dialog.show();
    const qreal drawing = dialog.devicePixelRatioF() > 1.0 ? 2.0 : 1.0;
    QCOMPARE(dialog.size(), QSize(424, 318));
    QCOMPARE(dialog.Background().devicePixelRatio(), drawing);
    QCOMPARE(dialog.Background().deviceIndependentSize().toSize(), QSize(425, 320));
    for (BitmapButton* button :
         {&dialog.ExitButton(), &dialog.ConfigButton(), &dialog.HelpButton()}) {
        QCOMPARE(button->size(), QSize(85, 25));
        QCOMPARE(button->CurrentFace().devicePixelRatio(), drawing);
    }
    const QPixmap picture = dialog.Picture(1038)->pixmap();
    QCOMPARE(picture.devicePixelRatio(), drawing);
    QCOMPARE(picture.deviceIndependentSize().toSize(), QSize(155, 276));
    // The drawn window covers its whole area with the background.
    const QImage shot = dialog.grab().toImage();
    QCOMPARE(shot.size(), QSize(424, 318) * dialog.devicePixelRatioF());
}

void SkinLookTest::contrastRatio_data()
{
    QTest::addColumn<QColor>("a");
    QTest::addColumn<QColor>("b");
    QTest::addColumn<double>("ratio");
    QTest::newRow("black on white") << QColor(Qt::black) << QColor(Qt::white) << 21.0;
    QTest::newRow("same") << QColor(0x80, 0x80, 0x80) << QColor(0x80, 0x80, 0x80) << 1.0;
    QTest::newRow("order does not matter") << QColor(Qt::white) << QColor(Qt::black) << 21.0;
    // The disabled grey the skin used to get, on its paper colour.
    QTest::newRow("grey 190 on paper") << QColor(190, 190, 190) << QColor(242, 244, 247) << 1.69;
}

void SkinLookTest::contrastRatio()
{
    QFETCH(QColor, a);
    QFETCH(QColor, b);
    QFETCH(double, ratio);
    QVERIFY2(qAbs(ContrastRatio(a, b) - ratio) < 0.01,
             qPrintable(QString::number(ContrastRatio(a, b))));
}

QTEST_MAIN(SkinLookTest)
#include "tst_skin_look.moc"
