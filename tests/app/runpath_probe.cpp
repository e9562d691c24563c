// Loads the receiver library (or the library named) by plain name, as the
// program does, and prints the file the loader took.
#include <dlfcn.h>
#include <link.h>

#include <climits>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    void* handle = dlopen(argc > 1 ? argv[1] : "libAtUsbHid.so", RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        std::fprintf(stderr, "%s\n", dlerror());
        return 1;
    }
    link_map* map = nullptr;
    if (dlinfo(handle, RTLD_DI_LINKMAP, &map) != 0 || !map)
        return 1;
    char resolved[PATH_MAX];
    std::puts(realpath(map->l_name, resolved) ? resolved : map->l_name);
    dlclose(handle);
    return 0;
}
