#pragma once

#include <QApplication>

// The application: names itself "Tavrolin" (the caption of every message box)
// and runs the main window modally; when that ends, the program ends. The
// command line has been dealt with before it is made (CommandLine.h); what is
// left for it are the arguments Qt itself takes (-platform ...).
class ConfigApp : public QApplication
{
    Q_OBJECT
public:
    ConfigApp(int& argc, char** argv);

    // Runs the main window; returns the process's exit code.
    int InitInstance();
};
