#pragma once

#include <QString>

#include <functional>

class QWidget;

// Every message of the program goes through here: the application's name as
// caption, the warning icon, OK or Yes/No. Tests replace the handler so that
// no modal box ever blocks them.
class AppMessageBox
{
public:
    enum class Buttons
    {
        Ok,
        YesNo
    };
    enum Result
    {
        IdOk = 1,
        IdCancel = 2,
        IdYes = 6,
        IdNo = 7
    };

    // IdOk for an OK box; IdYes or IdNo for a Yes/No box (closing it any other
    // way counts as No). language is the chosen language text: with "Korean"
    // the buttons read in Korean like the message, otherwise in English.
    static int Show(QWidget* parent, const QString& text, Buttons buttons = Buttons::Ok,
                    const QString& language = {});

    using Handler = std::function<int(QWidget* parent, const QString& text, Buttons buttons)>;
    // Returns the previous handler; an empty handler restores the real box.
    static Handler SetHandler(Handler handler);
};
