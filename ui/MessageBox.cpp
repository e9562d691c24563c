#include "MessageBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include <utility>

namespace {

AppMessageBox::Handler& CurrentHandler()
{
    static AppMessageBox::Handler handler;
    return handler;
}

// Qt's own Korean names of these buttons; set here so that they do not
// depend on which translations happen to be installed.
void NameButtonsInKorean(QMessageBox& box)
{
    const std::pair<QMessageBox::StandardButton, const char*> names[] = {
        {QMessageBox::Ok, "확인"}, {QMessageBox::Yes, "예"}, {QMessageBox::No, "아니요"}};
    for (const auto& [which, name] : names) {
        if (QAbstractButton* button = box.button(which))
            button->setText(QString::fromUtf8(name));
    }
}

int ShowRealBox(QWidget* parent, const QString& text, AppMessageBox::Buttons buttons,
                const QString& language)
{
    if (!parent)
        parent = QApplication::activeModalWidget() ? QApplication::activeModalWidget()
                                                   : QApplication::activeWindow();
    const bool yesNo = buttons == AppMessageBox::Buttons::YesNo;
    QMessageBox box(QMessageBox::Warning, QCoreApplication::applicationName(), text,
                    yesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    if (language == QLatin1String("Korean"))
        NameButtonsInKorean(box);
    if (yesNo) {
        box.setDefaultButton(QMessageBox::Yes);
        box.exec();
        return box.clickedButton() == box.button(QMessageBox::Yes) ? AppMessageBox::IdYes
                                                                   : AppMessageBox::IdNo;
    }
    box.exec();
    return AppMessageBox::IdOk;
}

} // namespace

int AppMessageBox::Show(QWidget* parent, const QString& text, Buttons buttons,
                        const QString& language)
{
    // Copy: a handler may replace itself while it runs.
    const Handler handler = CurrentHandler();
    if (handler)
        return handler(parent, text, buttons);
    return ShowRealBox(parent, text, buttons, language);
}

AppMessageBox::Handler AppMessageBox::SetHandler(Handler handler)
{
    return std::exchange(CurrentHandler(), std::move(handler));
}
