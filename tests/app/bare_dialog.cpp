// The yardstick for the start-up benchmark: a plain Qt Widgets dialog of the
// main window's size with the same kinds of controls, but no skin, no pictures
// and no receiver library.
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QPushButton>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QDialog dialog;
    dialog.setFixedSize(424, 318);
    auto* models = new QComboBox(&dialog);
    models->addItems({"LT-61", "LT-61P", "LT-65", "RV-80", "RV-80G", "QN-70 Vela", "QN-95 Vela"});
    models->setGeometry(26, 96, 134, models->sizeHint().height());
    auto* group = new QGroupBox(QStringLiteral("Language"), &dialog);
    group->setGeometry(158, 260, 102, 46);
    auto* languages = new QComboBox(&dialog);
    languages->addItems({"English", "Korean"});
    languages->setGeometry(162, 278, 94, languages->sizeHint().height());
    const std::pair<const char*, QPoint> buttons[] = {
        {"HELP", {20, 240}}, {"OK", {20, 278}}, {"EXIT", {312, 278}}};
    for (const auto& [text, at] : buttons)
        (new QPushButton(QString::fromLatin1(text), &dialog))
            ->setGeometry(QRect(at, QSize(85, 25)));
    dialog.show();
    return app.exec();
}
