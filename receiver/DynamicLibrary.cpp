#include "DynamicLibrary.h"

#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace DynamicLibrary {

#ifdef _WIN32

Handle Load(const char* plainName)
{
    return reinterpret_cast<Handle>(LoadLibraryA(plainName));
}

void* Symbol(Handle handle, const char* name)
{
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
}

void Free(Handle handle)
{
    FreeLibrary(static_cast<HMODULE>(handle));
}

#else

Handle Load(const char* plainName)
{
    // No path: LD_LIBRARY_PATH and the executable's RUNPATH decide which
    // implementation answers. This must run from code linked into the
    // executable itself, or the executable's RUNPATH would not be searched.
    const std::string file = std::string("lib") + plainName + ".so";
    return dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* Symbol(Handle handle, const char* name)
{
    return dlsym(handle, name);
}

void Free(Handle handle)
{
    dlclose(handle);
}

#endif

} // namespace DynamicLibrary
