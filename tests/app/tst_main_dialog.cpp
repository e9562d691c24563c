#include "MainDialog.h"

#include "HelpDialog.h"
#include "Lt61pConfigDialog.h"
#include "MessageBox.h"
#include "ModelTable.h"
#include "QnConfigDialog.h"
#include "Rv80ConfigDialog.h"
#include "ScriptedControl.h"
#include "TwoKeyConfigDialog.h"
#include "res/Resources.h"

#include <QPointer>
#include <QtTest>

namespace {

// Control ids of the pictures shown now.
QList<int> VisiblePictures(MainDialog& dialog)
{
    QList<int> shown;
    for (int id : {1038, 1039, 1040, 1041, 1042, 1043, 1045, 1036})
        if (!dialog.Picture(id)->isHidden())
            shown << id;
    return shown;
}

QStringList Items(const QComboBox& list)
{
    QStringList items;
    for (int i = 0; i < list.count(); ++i)
        items << list.itemText(i);
    return items;
}

QString ClassOf(SkinDialog& dialog)
{
    if (dynamic_cast<TwoKeyConfigDialog*>(&dialog))
        return "TwoKey";
    if (dynamic_cast<Lt61pConfigDialog*>(&dialog))
        return "Lt61p";
    if (dynamic_cast<Rv80ConfigDialog*>(&dialog))
        return "Rv80";
    if (dynamic_cast<QnConfigDialog*>(&dialog))
        return "Qn";
    return dynamic_cast<HelpDialog*>(&dialog) ? "Help" : "other";
}

// Selects the entry with exactly this text, adding it when the list lacks it.
void Choose(QComboBox& list, const QString& text)
{
    int index = list.findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index < 0) {
        list.addItem(text);
        index = list.count() - 1;
    }
    list.setCurrentIndex(index);
}

} // namespace

class TestMainDialog : public QObject
{
    Q_OBJECT

    QStringList messages;
    AppMessageBox::Handler previousHandler;

    // Initialised with the model and language chosen; the dialogs it would
    // run are set up (InitDialog) and recorded as class, template, background.
    struct Window
    {
        MainDialog dialog;
        QStringList seen;
        Window(const QString& model = "LT-61", const QString& language = "English")
        {
            dialog.InitDialog();
            Choose(dialog.ModelList(), model);
            Choose(dialog.LanguageList(), language);
            dialog.SetDialogRunner([this](SkinDialog& d) {
                seen << ClassOf(d) << QString::number(d.TemplateId());
                if (auto* help = dynamic_cast<HelpDialog*>(&d))
                    seen << help->Language();
                d.InitDialog();
                seen << QString::number(d.BackgroundId());
                return d.result();
            });
        }
    };

private slots:
    void initTestCase()
    {
        QCoreApplication::setApplicationName("Tavrolin");
        previousHandler = AppMessageBox::SetHandler([this](QWidget*, const QString& text, auto) {
            messages << text;
            return int(AppMessageBox::IdOk);
        });
    }
    void cleanupTestCase() { AppMessageBox::SetHandler(previousHandler); }
    void init() { messages.clear(); }

    void startState()
    {
        MainDialog dialog;
        QVERIFY(dialog.InitDialog());
        QCOMPARE(Items(dialog.ModelList()), (QStringList{"LT-61", "LT-61P", "LT-65", "RV-80",
                                                         "RV-80G", "QN-70 Vela", "QN-95 Vela"}));
        QCOMPARE(Items(dialog.LanguageList()), (QStringList{"English", "Korean"}));
        QCOMPARE(dialog.SelectedModel(), QString("LT-61"));
        QCOMPARE(dialog.SelectedLanguage(), QString("English"));
        // Only the chosen entry counts, so no text can be typed into a list.
        QVERIFY(!dialog.ModelList().isEditable());
        QVERIFY(!dialog.LanguageList().isEditable());
        // The template shows the RV-80G picture; start-up shows LT-61's alone.
        QCOMPARE(VisiblePictures(dialog), QList<int>{1038});

        QCOMPARE(dialog.BackgroundId(), 134);
        QCOMPARE(dialog.windowTitle(), QString("Tavrolin"));
        QVERIFY(!dialog.windowIcon().isNull());
        QVERIFY(dialog.windowFlags() & Qt::FramelessWindowHint);
        const std::pair<BitmapButton*, int> faces[] = {{&dialog.ConfigButton(), 136},
                                                       {&dialog.ExitButton(), 138},
                                                       {&dialog.HelpButton(), 143}};
        for (auto [button, face] : faces) {
            QCOMPARE(button->size(), QSize(85, 25));
            QCOMPARE(button->CurrentFace(), LoadBitmapResource(face));
        }

        HyperLinkStatic& link = dialog.DownloadLink();
        QVERIFY(link.IsAttached());
        QVERIFY(link.isHidden());
        QCOMPARE(link.Url(), QString("https://www.example.com/en/download"));
        QCOMPARE(link.UnderlineMode(), 1);
    }

    // Byte for byte: any other text changes no picture and configures nothing.
    void pictureFollowsModelText_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<int>("picture");
        QTest::addColumn<int>("bitmap");
        const struct
        {
            const char* model;
            int picture, bitmap;
        } rows[] = {{"LT-61", 1038, 158},      {"LT-61P", 1039, 159}, {"LT-65", 1040, 160},
                    {"RV-80", 1041, 161},      {"RV-80G", 1043, 176}, {"QN-70 Vela", 1042, 162},
                    {"QN-95 Vela", 1036, 144}, {"QN-90", 1045, 180},  {"rv-80", 1043, 0},
                    {"RV-8", 1043, 0},         {"RV-80 ", 1043, 0},   {"", 1043, 0}};
        for (const auto& row : rows)
            QTest::addRow("'%s'", row.model) << QString(row.model) << row.picture << row.bitmap;
    }
    void pictureFollowsModelText()
    {
        QFETCH(QString, model);
        QFETCH(int, picture);
        QFETCH(int, bitmap);
        Window w("RV-80G");
        Choose(w.dialog.ModelList(), model);
        QCOMPARE(VisiblePictures(w.dialog), QList<int>{picture});
        if (bitmap) {
            QCOMPARE(w.dialog.Picture(picture)->pixmap().toImage().size(),
                     LoadBitmapResource(bitmap).size());
            return;
        }
        w.dialog.OnConfig();
        QCOMPARE(w.seen, QStringList{});
        QVERIFY(messages.isEmpty());
    }

    void nothingSelectedReadsAsEmpty()
    {
        Window w;
        w.dialog.ModelList().setCurrentIndex(-1);
        w.dialog.LanguageList().setCurrentIndex(-1);
        QCOMPARE(w.dialog.SelectedModel(), QString());
        QCOMPARE(VisiblePictures(w.dialog), QList<int>{1038});
        w.dialog.OnConfig();
        QCOMPARE(w.seen, QStringList{});
        w.dialog.OnHelp();
        QCOMPARE(w.seen.mid(0, 3), (QStringList{"Help", "140", ""}));
    }

    // "Config" makes the family's dialog and hands it model, language and the
    // receiver's ids; "HELP" hands its page the language only. Each dialog's
    // start-up shows what it got: the background, the message's language,
    // the ids in the receiver library's log.
    void buttonOpensItsDialog_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<QString>("language");
        QTest::addColumn<QStringList>("seen");
        const struct
        {
            const char *model, *language, *dialogClass, *templateId, *background;
        } rows[] = {{"LT-61", "English", "TwoKey", "129", "163"},
                    {"LT-61P", "English", "Lt61p", "131", "164"},
                    {"LT-65", "Korean", "Lt61p", "131", "165"},
                    {"RV-80", "Korean", "Rv80", "132", "170"},
                    {"RV-80G", "English", "Rv80", "132", "174"},
                    {"QN-70 Vela", "English", "Qn", "130", "173"},
                    {"QN-95 Vela", "Korean", "Qn", "130", "172"},
                    {"QN-90", "English", "Qn", "130", "175"},
                    {"LT-61", "English", "Help", "140", "179"},
                    {"QN-95 Vela", "Korean", "Help", "140", "181"},
                    {"nothing", "Korean", "Help", "140", "181"}};
        for (const auto& r : rows) {
            QStringList seen{r.dialogClass, r.templateId, r.background};
            if (seen[0] == "Help")
                seen.insert(2, r.language);
            QTest::addRow("%s %s %s", r.dialogClass, r.model, r.language)
                << QString(r.model) << QString(r.language) << seen;
        }
    }
    void buttonOpensItsDialog()
    {
        QFETCH(QString, model);
        QFETCH(QString, language);
        QFETCH(QStringList, seen);
        const bool help = seen[0] == "Help";
        ScriptedReceiver script;
        QVERIFY(script.IsLoaded());
        script.SetFindResult(0);
        Window w(model, language);
        const QList<int> picturesBefore = VisiblePictures(w.dialog);
        QPointer<SkinDialog> opened;
        auto runner = w.dialog.SetDialogRunner({});
        w.dialog.SetDialogRunner([&](SkinDialog& d) {
            opened = &d;
            return runner(d);
        });

        help ? w.dialog.OnHelp() : w.dialog.OnConfig();
        QCOMPARE(w.seen, seen);
        const QString notConnected = language == "English" ? "The receiver is not connected."
                                                           : "수신기가 연결되지 않았습니다.";
        QCOMPARE(messages, help ? QStringList{} : QStringList{notConnected});
        QCOMPARE(script.Calls(), help ? std::vector<std::string>{}
                                      : std::vector<std::string>{"findHidDevice 0EBC 2501"});
        QVERIFY2(opened.isNull(), "the dialog outlives its click");
        // The main window is left as it was.
        QCOMPARE(w.dialog.SelectedModel(), model);
        QCOMPARE(w.dialog.SelectedLanguage(), language);
        QCOMPARE(VisiblePictures(w.dialog), picturesBefore);
    }

    void handOverIsInOrder()
    {
        struct Recorder
        {
            QStringList calls;
            void SetModelName(const QString& m) { calls << "model " + m; }
            void SetLanguage(const QString& l) { calls << "language " + l; }
            void SetDeviceIds(int v, int p)
            {
                calls << QString("ids %1 %2").arg(v, 0, 16).arg(p, 0, 16);
            }
        } recorder;
        HandOver(recorder, "RV-80G", "Korean", MainDialog::kVendorId, MainDialog::kProductId);
        QCOMPARE(recorder.calls, (QStringList{"model RV-80G", "language Korean", "ids ebc 2501"}));
    }

    void enterAndEscDoNothing()
    {
        Window w;
        w.dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w.dialog));
        for (QWidget* target : QList<QWidget*>{&w.dialog, &w.dialog.ModelList(),
                                               &w.dialog.LanguageList(), &w.dialog.ExitButton(),
                                               &w.dialog.ConfigButton(), &w.dialog.HelpButton()})
            for (int key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
                QTest::keyClick(target, Qt::Key(key));
        QVERIFY(w.dialog.isVisible());
        QCOMPARE(w.dialog.result(), 0);
        QCOMPARE(w.seen, QStringList{});
        QCOMPARE(w.dialog.SelectedModel(), QString("LT-61"));
    }

    // Tab and Shift+Tab go round in template order, whatever the Qt version.
    void tabFollowsTheTemplate()
    {
        Window w;
        MainDialog& d = w.dialog;
        d.show();
        d.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&d));
        QCOMPARE(d.focusWidget(), &d.ModelList());
        const QList<QWidget*> order{&d.ConfigButton(), &d.ExitButton(), &d.HelpButton(),
                                    &d.LanguageList(), &d.ModelList()};
        for (const bool back : {false, true}) {
            QList<QWidget*> seen;
            for (int i = 0; i < order.size(); ++i) {
                QTest::keyClick(d.focusWidget(), Qt::Key_Tab,
                                back ? Qt::ShiftModifier : Qt::NoModifier);
                seen << d.focusWidget();
            }
            QList<QWidget*> expected = order;
            if (back)
                std::reverse(expected.begin(), expected.end() - 1);
            QCOMPARE(seen, expected);
        }
    }
};

QTEST_MAIN(TestMainDialog)
#include "tst_main_dialog.moc"
