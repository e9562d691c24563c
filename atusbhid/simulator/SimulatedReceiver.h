#pragma once

namespace SimulatedReceiver {

// Stops the watcher and closes the receiver: the library is being unloaded.
void Shutdown();

} // namespace SimulatedReceiver
