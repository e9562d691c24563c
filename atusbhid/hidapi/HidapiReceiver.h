// The receiver library over hidapi's hidraw backend. The eight entry points
// (AtUsbHid.h) forward here; tests reach the same code through the entry
// points with a fake HidPlatform in place.
#pragma once

namespace HidapiReceiver {

// Closes the device, stops the watcher and lets hidapi go: the library is
// about to be unloaded.
void Shutdown();

} // namespace HidapiReceiver
