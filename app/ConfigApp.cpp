#include "ConfigApp.h"

#include "MainDialog.h"
#include "res/Resources.h"

ConfigApp::ConfigApp(int& argc, char** argv) : QApplication(argc, argv) {}

int ConfigApp::InitInstance()
{
    setApplicationName(QStringLiteral("Tavrolin"));
    setApplicationDisplayName(QStringLiteral("Tavrolin"));
    setDesktopFileName(QStringLiteral("org.example.Tavrolin"));
    setWindowIcon(ApplicationIcon());

    MainDialog dialog;
    dialog.DoModal();
    return 0;
}
