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

const int kPictureIds[] = {1038, 1039, 1040, 1041, 1042, 1043, 1045, 1036};

// Control ids of the pictures shown now.
QList<int> VisiblePictures(MainDialog& dialog)
{
    QList<int> shown;
    for (int id : kPictureIds) {
        if (!dialog.Picture(id)->isHidden())
            shown << id;
    }
    return shown;
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
    if (dynamic_cast<HelpDialog*>(&dialog))
        return "Help";
    return "other";
}

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

private slots:
    void initTestCase()
    {
        QCoreApplication::setApplicationName("Tavrolin");
        previousHandler = AppMessageBox::SetHandler(
            [this](QWidget*, const QString& text, AppMessageBox::Buttons) {
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

        QCOMPARE(dialog.ModelList().count(), 7);
        const QStringList models{"LT-61",  "LT-61P",     "LT-65",     "RV-80",
                                 "RV-80G", "QN-70 Vela", "QN-95 Vela"};
        for (int i = 0; i < models.size(); ++i)
            QCOMPARE(dialog.ModelList().itemText(i), models[i]);
        QCOMPARE(dialog.LanguageList().count(), 2);
        QCOMPARE(dialog.LanguageList().itemText(0), QString("English"));
        QCOMPARE(dialog.LanguageList().itemText(1), QString("Korean"));

        QCOMPARE(dialog.SelectedModel(), QString("LT-61"));
        QCOMPARE(dialog.SelectedLanguage(), QString("English"));
        // The template shows the RV-80G picture; start-up shows LT-61's alone.
        QCOMPARE(VisiblePictures(dialog), QList<int>{1038});

        QCOMPARE(dialog.BackgroundId(), 134);
        QCOMPARE(dialog.windowTitle(), QString("Tavrolin"));
        QVERIFY(!dialog.windowIcon().isNull());
        QVERIFY(dialog.windowFlags() & Qt::FramelessWindowHint);
        for (BitmapButton* button :
             {&dialog.ExitButton(), &dialog.ConfigButton(), &dialog.HelpButton()})
            QCOMPARE(button->size(), QSize(85, 25));
        QCOMPARE(dialog.ConfigButton().CurrentFace(), LoadBitmapResource(136));
        QCOMPARE(dialog.ExitButton().CurrentFace(), LoadBitmapResource(138));
        QCOMPARE(dialog.HelpButton().CurrentFace(), LoadBitmapResource(143));
        QCOMPARE(dialog.VendorId(), 0x0EBC);
        QCOMPARE(dialog.ProductId(), 0x2501);

        // Only the chosen entry counts, so no text can be typed into a list.
        QVERIFY(!dialog.ModelList().isEditable());
        QVERIFY(!dialog.LanguageList().isEditable());
    }

    void downloadLinkStaysHidden()
    {
        MainDialog dialog;
        dialog.InitDialog();
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        HyperLinkStatic& link = dialog.DownloadLink();
        QVERIFY(link.IsAttached());
        QVERIFY(link.isHidden());
        QCOMPARE(link.Url(), QString(MainDialog::kDownloadUrl));
        QCOMPARE(link.toolTip(), QString(MainDialog::kDownloadUrl));
        QCOMPARE(link.UnderlineMode(), 1);
        QCOMPARE(link.text(), QString("LINK"));
    }

    void pictureFollowsModel_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<int>("picture");
        for (const ModelEntry& model : kModels)
            QTest::newRow(model.text) << QString(model.text) << model.pictureControlId;
    }
    void pictureFollowsModel()
    {
        QFETCH(QString, model);
        QFETCH(int, picture);
        MainDialog dialog;
        dialog.InitDialog();
        // "QN-90" is not offered, but a list that offered it would show it.
        Choose(dialog.ModelList(), model);
        QCOMPARE(VisiblePictures(dialog), QList<int>{picture});

        const ModelEntry* entry = FindModel(model);
        QVERIFY(entry);
        QCOMPARE(dialog.Picture(picture)->pixmap().toImage().size(),
                 LoadBitmapResource(entry->pictureBitmapId).size());
    }

    void unknownModelChangesNoPicture_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("other case") << "rv-80";
        QTest::newRow("prefix") << "RV-8";
        QTest::newRow("trailing space") << "RV-80 ";
        QTest::newRow("empty") << "";
    }
    void unknownModelChangesNoPicture()
    {
        QFETCH(QString, text);
        MainDialog dialog;
        dialog.InitDialog();
        Choose(dialog.ModelList(), "RV-80G");
        int calls = 0;
        dialog.SetDialogRunner([&](SkinDialog&) { return ++calls; });

        Choose(dialog.ModelList(), text);
        QCOMPARE(VisiblePictures(dialog), QList<int>{1043});
        dialog.OnConfig();
        QCOMPARE(calls, 0);
        QVERIFY(messages.isEmpty());
    }

    void nothingSelectedReadsAsEmpty()
    {
        MainDialog dialog;
        dialog.InitDialog();
        int calls = 0;
        QString helpLanguage = "unset";
        dialog.SetDialogRunner([&](SkinDialog& d) {
            ++calls;
            if (auto* help = dynamic_cast<HelpDialog*>(&d))
                helpLanguage = help->Language();
            return 0;
        });
        dialog.ModelList().setCurrentIndex(-1);
        dialog.LanguageList().setCurrentIndex(-1);
        QCOMPARE(dialog.SelectedModel(), QString());
        QCOMPARE(VisiblePictures(dialog), QList<int>{1038});
        dialog.OnConfig();
        QCOMPARE(calls, 0);
        dialog.OnHelp();
        QCOMPARE(calls, 1);
        QCOMPARE(helpLanguage, QString());
    }

    // "Config" makes the family's dialog, hands it model, language and the
    // receiver's ids, and runs it. The dialog's own start-up shows what it
    // got: the model picks its background, the language its message, and the
    // ids reach the receiver library.
    void configOpensFamilyDialog_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("dialogClass");
        QTest::addColumn<int>("templateId");
        QTest::addColumn<int>("background");
        QTest::newRow("LT-61") << "LT-61"
                               << "English"
                               << "TwoKey" << 129 << 163;
        QTest::newRow("LT-61P") << "LT-61P"
                                << "English"
                                << "Lt61p" << 131 << 164;
        QTest::newRow("LT-65") << "LT-65"
                               << "Korean"
                               << "Lt61p" << 131 << 165;
        QTest::newRow("RV-80") << "RV-80"
                               << "Korean"
                               << "Rv80" << 132 << 170;
        QTest::newRow("RV-80G") << "RV-80G"
                                << "English"
                                << "Rv80" << 132 << 174;
        QTest::newRow("QN-70 Vela") << "QN-70 Vela"
                                    << "English"
                                    << "Qn" << 130 << 173;
        QTest::newRow("QN-95 Vela") << "QN-95 Vela"
                                    << "Korean"
                                    << "Qn" << 130 << 172;
        QTest::newRow("QN-90") << "QN-90"
                               << "English"
                               << "Qn" << 130 << 175;
    }
    void configOpensFamilyDialog()
    {
        QFETCH(QString, model);
        QFETCH(QString, language);
        QFETCH(QString, dialogClass);
        QFETCH(int, templateId);
        QFETCH(int, background);

        ScriptedReceiver script;
        QVERIFY(script.IsLoaded());
        script.SetFindResult(0);

        MainDialog dialog;
        dialog.InitDialog();
        Choose(dialog.ModelList(), model);
        Choose(dialog.LanguageList(), language);
        const QList<int> picturesBefore = VisiblePictures(dialog);

        QStringList seen;
        QPointer<SkinDialog> opened;
        dialog.SetDialogRunner([&](SkinDialog& d) {
            opened = &d;
            seen << ClassOf(d) << QString::number(d.TemplateId());
            d.InitDialog();
            seen << QString::number(d.BackgroundId());
            return d.result();
        });
        dialog.OnConfig();

        QCOMPARE(seen, (QStringList{dialogClass, QString::number(templateId),
                                    QString::number(background)}));
        QCOMPARE(messages, QStringList{language == "English" ? "The receiver is not connected."
                                                             : "수신기가 연결되지 않았습니다."});
        QVERIFY(script.Calls().size() > 0);
        QCOMPARE(QString::fromStdString(script.Calls().front()),
                 QString("findHidDevice 0EBC 2501"));
        QVERIFY2(opened.isNull(), "the dialog outlives its click");
        // The main window is left as it was.
        QCOMPARE(dialog.SelectedModel(), model);
        QCOMPARE(dialog.SelectedLanguage(), language);
        QCOMPARE(VisiblePictures(dialog), picturesBefore);
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
                calls << QString("ids %1 %2").arg(v, 4, 16, QChar('0')).arg(p, 4, 16, QChar('0'));
            }
        } recorder;
        HandOver(recorder, "RV-80G", "Korean", MainDialog::kVendorId, MainDialog::kProductId);
        QCOMPARE(recorder.calls, (QStringList{"model RV-80G", "language Korean", "ids 0ebc 2501"}));
    }

    void helpHandsLanguageOnly_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<QString>("language");
        QTest::addColumn<int>("page");
        QTest::newRow("LT-61 English") << "LT-61"
                                       << "English" << 179;
        QTest::newRow("QN-95 Vela English") << "QN-95 Vela"
                                            << "English" << 179;
        QTest::newRow("QN-95 Vela Korean") << "QN-95 Vela"
                                           << "Korean" << 181;
        QTest::newRow("unknown model Korean") << "nothing"
                                              << "Korean" << 181;
    }
    void helpHandsLanguageOnly()
    {
        QFETCH(QString, model);
        QFETCH(QString, language);
        QFETCH(int, page);
        ScriptedReceiver script;
        MainDialog dialog;
        dialog.InitDialog();
        Choose(dialog.ModelList(), model);
        Choose(dialog.LanguageList(), language);
        QStringList seen;
        dialog.SetDialogRunner([&](SkinDialog& d) {
            seen << ClassOf(d) << QString::number(d.TemplateId());
            if (auto* help = dynamic_cast<HelpDialog*>(&d))
                seen << help->Language();
            d.InitDialog();
            seen << QString::number(d.BackgroundId());
            return 0;
        });
        dialog.OnHelp();
        QCOMPARE(seen, (QStringList{"Help", "140", language, QString::number(page)}));
        // Help never reaches for the receiver.
        QVERIFY(script.Calls().empty());
    }

    void enterAndEscDoNothing()
    {
        MainDialog dialog;
        dialog.InitDialog();
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        int calls = 0;
        dialog.SetDialogRunner([&](SkinDialog&) { return ++calls; });

        for (QWidget* target :
             QList<QWidget*>{&dialog, &dialog.ModelList(), &dialog.LanguageList(),
                             &dialog.ExitButton(), &dialog.ConfigButton(), &dialog.HelpButton()}) {
            for (int key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
                QTest::keyClick(target, Qt::Key(key));
        }
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.result(), 0);
        QCOMPARE(calls, 0);
        QCOMPARE(dialog.SelectedModel(), QString("LT-61"));
    }

    void buttonsRunTheirHandlers()
    {
        MainDialog dialog;
        dialog.InitDialog();
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QStringList opened;
        dialog.SetDialogRunner([&](SkinDialog& d) {
            opened << ClassOf(d);
            return 0;
        });
        QTest::mouseClick(&dialog.ConfigButton(), Qt::LeftButton);
        QTest::mouseClick(&dialog.HelpButton(), Qt::LeftButton);
        QCOMPARE(opened, (QStringList{"TwoKey", "Help"}));
        QVERIFY(dialog.isVisible());

        QTest::mouseClick(&dialog.ExitButton(), Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }
};

QTEST_MAIN(TestMainDialog)
#include "tst_MainDialog.moc"
