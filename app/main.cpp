#include "ConfigApp.h"

int main(int argc, char** argv)
{
    ConfigApp app(argc, argv);
    return app.InitInstance();
}
