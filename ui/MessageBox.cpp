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

int ShowRealBox(QWidget* parent, const QString& text, AppMessageBox::Buttons buttons)
{
    if (!parent)
        parent = QApplication::activeModalWidget() ? QApplication::activeModalWidget()
                                                   : QApplication::activeWindow();
    const bool yesNo = buttons == AppMessageBox::Buttons::YesNo;
    QMessageBox box(QMessageBox::Warning, QCoreApplication::applicationName(), text,
                    yesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
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

int AppMessageBox::Show(QWidget* parent, const QString& text, Buttons buttons)
{
    // Copy: a handler may replace itself while it runs.
    const Handler handler = CurrentHandler();
    if (handler)
        return handler(parent, text, buttons);
    return ShowRealBox(parent, text, buttons);
}

AppMessageBox::Handler AppMessageBox::SetHandler(Handler handler)
{
    return std::exchange(CurrentHandler(), std::move(handler));
}
