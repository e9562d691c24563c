#include "ui/MessageBox.h"

#include <QAbstractButton>
#include <QFontDatabase>
#include <QMessageBox>
#include <QtTest>

namespace {

// Acts on the box as soon as it is up; records what it saw.
struct BoxProbe
{
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;

    void Arm(std::function<void(QMessageBox*)> act)
    {
        QTimer::singleShot(10, [this, act] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return Arm(act);
            title = box->windowTitle();
            text = box->text();
            icon = box->icon();
            buttons = box->standardButtons();
            act(box);
        });
    }
};

} // namespace

class MessageBoxTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QCoreApplication::setApplicationName(QStringLiteral("Tavrolin")); }
    void handlerReplacesTheBox();
    void realBox();
    void buttonsSpeakTheLanguage_data();
    void buttonsSpeakTheLanguage();
    void hangulHasAFont();
};

void MessageBoxTest::handlerReplacesTheBox()
{
    QWidget parent;
    QWidget* seenParent = nullptr;
    QString seenText;
    QList<AppMessageBox::Buttons> seenButtons;
    const auto previous = AppMessageBox::SetHandler(
        [&](QWidget* p, const QString& text, AppMessageBox::Buttons buttons) {
            seenParent = p;
            seenText = text;
            seenButtons << buttons;
            return int(AppMessageBox::IdYes);
        });
    QVERIFY(!previous);
    QCOMPARE(AppMessageBox::Show(&parent, QStringLiteral("Delete?"), AppMessageBox::Buttons::YesNo),
             int(AppMessageBox::IdYes));
    QCOMPARE(seenParent, &parent);
    QCOMPARE(seenText, QStringLiteral("Delete?"));
    AppMessageBox::Show(nullptr, QStringLiteral("x"));
    QCOMPARE(seenButtons, (QList{AppMessageBox::Buttons::YesNo, AppMessageBox::Buttons::Ok}));
    QVERIFY(AppMessageBox::SetHandler({}));
}

void MessageBoxTest::realBox()
{
    using B = AppMessageBox::Buttons;
    const auto click = [](QMessageBox::StandardButton which) {
        return [which](QMessageBox* box) {
            box->button(which)->click();
        };
    };
    const struct
    {
        const char* how;
        B buttons;
        std::function<void(QMessageBox*)> close;
        int result;
    } cases[] = {
        {"OK", B::Ok, click(QMessageBox::Ok), AppMessageBox::IdOk},
        {"Yes", B::YesNo, click(QMessageBox::Yes), AppMessageBox::IdYes},
        {"No", B::YesNo, click(QMessageBox::No), AppMessageBox::IdNo},
        {"closed otherwise", B::YesNo, [](QMessageBox* box) { box->reject(); },
         AppMessageBox::IdNo},
        {"Esc", B::YesNo, [](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); },
         AppMessageBox::IdNo},
    };
    const QString text = QStringLiteral("설정이 완료되었습니다.");
    for (const auto& c : cases) {
        BoxProbe probe;
        probe.Arm(c.close);
        QVERIFY2(AppMessageBox::Show(nullptr, text, c.buttons) == c.result, c.how);
        QCOMPARE(probe.title, QStringLiteral("Tavrolin"));
        QCOMPARE(probe.text, text);
        QCOMPARE(probe.icon, QMessageBox::Warning);
        QCOMPARE(probe.buttons, c.buttons == B::Ok ? QMessageBox::StandardButtons(QMessageBox::Ok)
                                                   : QMessageBox::Yes | QMessageBox::No);
    }
}

void MessageBoxTest::buttonsSpeakTheLanguage_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<bool>("yesNo");
    QTest::addColumn<QStringList>("texts");
    QTest::newRow("Korean OK") << "Korean" << false << QStringList{"확인"};
    QTest::newRow("Korean Yes/No") << "Korean" << true << QStringList{"예", "아니요"};
    QTest::newRow("English OK") << "English" << false << QStringList{"OK"};
    QTest::newRow("English Yes/No") << "English" << true << QStringList{"&Yes", "&No"};
    QTest::newRow("no language") << "" << true << QStringList{"&Yes", "&No"};
}

void MessageBoxTest::buttonsSpeakTheLanguage()
{
    QFETCH(QString, language);
    QFETCH(bool, yesNo);
    QFETCH(QStringList, texts);
    QStringList seen;
    BoxProbe probe;
    probe.Arm([&seen, yesNo](QMessageBox* box) {
        const auto order =
            yesNo ? QList{QMessageBox::Yes, QMessageBox::No} : QList{QMessageBox::Ok};
        for (QMessageBox::StandardButton which : order)
            seen << box->button(which)->text();
        box->button(order.back())->click();
    });
    AppMessageBox::Show(nullptr, QStringLiteral("x"),
                        yesNo ? AppMessageBox::Buttons::YesNo : AppMessageBox::Buttons::Ok,
                        language);
    QCOMPARE(seen, texts);
}

void MessageBoxTest::hangulHasAFont()
{
    // Korean messages and pages are unreadable boxes without a Hangul font.
    QVERIFY(!QFontDatabase::families(QFontDatabase::Korean).isEmpty());
}

QTEST_MAIN(MessageBoxTest)
#include "tst_message_box.moc"
