#include "CommandLine.h"
#include "ConfigApp.h"

int main(int argc, char** argv)
{
    if (const std::optional<int> status = HandleCommandLine(argc, argv))
        return *status;
    ConfigApp app(argc, argv);
    return app.InitInstance();
}
