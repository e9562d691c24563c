#include "HidapiReceiver.h"

// The program unloads the library when a dialog ends; nothing of it may be
// left running then.
__attribute__((destructor)) static void UnloadReceiverLibrary()
{
    HidapiReceiver::Shutdown();
}
