#include "WaylandSupport.h"

#include <QGuiApplication>
#include <QPointer>

#include <cstdio>
#include <dlfcn.h>

WaylandSupport* WaylandSupport::Instance()
{
    static QPointer<QObject> lifetime;
    static WaylandSupport* support = nullptr;
    static bool failed = false;
    if (!qGuiApp || !QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
        return nullptr;
    if (support && lifetime)
        return support;
    // Gone with an earlier application: a new one needs its own.
    support = nullptr;
    if (failed)
        return nullptr;
    // By plain name, so that the program's RUNPATH (its own library
    // directory) finds it; this code is linked into the program itself. The
    // module is never unloaded: Qt may still hold its code through the
    // objects it registered.
    void* module = dlopen(kWaylandModuleName, RTLD_NOW | RTLD_LOCAL);
    auto create = module
                      ? reinterpret_cast<TavrolinWaylandCreate>(dlsym(module, kWaylandModuleEntry))
                      : nullptr;
    if (!create) {
        failed = true;
        std::fprintf(stderr,
                     "tavrolin: %s; the desktop keeps its shortcuts and keys are named as "
                     "on a US keyboard\n",
                     module ? "the Wayland module lacks its entry point" : dlerror());
        return nullptr;
    }
    support = create();
    if (support)
        lifetime = support->Lifetime();
    return support;
}
