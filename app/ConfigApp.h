#pragma once

#include <QApplication>

// The application: names itself "Tavrolin" (the caption of every message box)
// and runs the main window modally; when that ends, the program ends. It reads
// no command line beyond the arguments Qt itself takes (-platform ...).
class ConfigApp : public QApplication
{
    Q_OBJECT
public:
    ConfigApp(int& argc, char** argv);

    // Runs the main window; returns the process's exit code.
    int InitInstance();
};
