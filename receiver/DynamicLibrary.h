// The one place that knows how the platform loads a library by name.
#pragma once

namespace DynamicLibrary {

using Handle = void*;

// Loads the library through the platform's ordinary search by its plain name
// ("AtUsbHid": libAtUsbHid.so on Linux, AtUsbHid.dll on Windows). Null when it
// cannot be loaded.
Handle Load(const char* plainName);
void* Symbol(Handle handle, const char* name);
void Free(Handle handle);

} // namespace DynamicLibrary
