#include "ui/MessageBox.h"

#include <QAbstractButton>
#include <QFontDatabase>
#include <QMessageBox>
#include <QtTest>

#include <optional>

namespace {

// Acts on the box as soon as it is up; records what it saw.
struct BoxProbe
{
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;

    void Arm(std::function<void(QMessageBox*)> act)
    {
        QTimer::singleShot(10, [this, act] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) {
                Arm(act);
                return;
            }
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
    void okBox();
    void yesNoBox();
    void yesNoBoxClosedOtherwiseIsNo();
    void hangulHasAFont();
};

void MessageBoxTest::handlerReplacesTheBox()
{
    QWidget parent;
    std::optional<std::tuple<QWidget*, QString, AppMessageBox::Buttons>> seen;
    const auto previous = AppMessageBox::SetHandler(
        [&seen](QWidget* p, const QString& text, AppMessageBox::Buttons buttons) {
            seen.emplace(p, text, buttons);
            return int(AppMessageBox::IdYes);
        });
    QVERIFY(!previous);
    QCOMPARE(AppMessageBox::Show(&parent, QStringLiteral("Delete?"), AppMessageBox::Buttons::YesNo),
             int(AppMessageBox::IdYes));
    QVERIFY(seen);
    QCOMPARE(std::get<0>(*seen), &parent);
    QCOMPARE(std::get<1>(*seen), QStringLiteral("Delete?"));
    QCOMPARE(std::get<2>(*seen), AppMessageBox::Buttons::YesNo);
    AppMessageBox::Show(nullptr, QStringLiteral("x"));
    QCOMPARE(std::get<2>(*seen), AppMessageBox::Buttons::Ok);

    const auto mine = AppMessageBox::SetHandler({});
    QVERIFY(mine);
}

void MessageBoxTest::okBox()
{
    BoxProbe probe;
    probe.Arm([](QMessageBox* box) { box->button(QMessageBox::Ok)->click(); });
    const QString text = QStringLiteral("설정이 완료되었습니다.");
    QCOMPARE(AppMessageBox::Show(nullptr, text), int(AppMessageBox::IdOk));
    QCOMPARE(probe.title, QStringLiteral("Tavrolin"));
    QCOMPARE(probe.text, text);
    QCOMPARE(probe.icon, QMessageBox::Warning);
    QCOMPARE(probe.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
}

void MessageBoxTest::yesNoBox()
{
    BoxProbe probe;
    probe.Arm([](QMessageBox* box) { box->button(QMessageBox::Yes)->click(); });
    QCOMPARE(AppMessageBox::Show(nullptr, QStringLiteral("Sure?"), AppMessageBox::Buttons::YesNo),
             int(AppMessageBox::IdYes));
    QCOMPARE(probe.icon, QMessageBox::Warning);
    QCOMPARE(probe.buttons, QMessageBox::Yes | QMessageBox::No);

    probe.Arm([](QMessageBox* box) { box->button(QMessageBox::No)->click(); });
    QCOMPARE(AppMessageBox::Show(nullptr, QStringLiteral("Sure?"), AppMessageBox::Buttons::YesNo),
             int(AppMessageBox::IdNo));
}

void MessageBoxTest::yesNoBoxClosedOtherwiseIsNo()
{
    BoxProbe probe;
    probe.Arm([](QMessageBox* box) { box->reject(); });
    QCOMPARE(AppMessageBox::Show(nullptr, QStringLiteral("Sure?"), AppMessageBox::Buttons::YesNo),
             int(AppMessageBox::IdNo));
    probe.Arm([](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); });
    QCOMPARE(AppMessageBox::Show(nullptr, QStringLiteral("Sure?"), AppMessageBox::Buttons::YesNo),
             int(AppMessageBox::IdNo));
}

void MessageBoxTest::hangulHasAFont()
{
    // Korean messages and pages are unreadable boxes without a Hangul font.
    QVERIFY(!QFontDatabase::families(QFontDatabase::Korean).isEmpty());
}

QTEST_MAIN(MessageBoxTest)
#include "tst_MessageBox.moc"
