// Sends reports on a thread of its own so that the caller waits a bounded
// time: a write to hidraw returns only when the USB transfer is done, and a
// stalled receiver would otherwise hold the program's user-interface thread
// for as long as the kernel's own timeout, or longer.
#pragma once

#include <hidapi.h>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class RequestWorker
{
public:
    using Send = int (*)(hid_device*, const unsigned char*, std::size_t);
    using Close = void (*)(hid_device*);

    ~RequestWorker() { Stop(); }

    // What send gives for the report, or -1 when it has not come back
    // within `limit` (it goes on in the background) or another request is
    // still under way.
    int Run(hid_device* device, Send send, const unsigned char* data, std::size_t size,
            std::chrono::milliseconds limit);
    // True while a request that timed out has not come back yet.
    bool Busy();
    // Closes the device now, or as soon as the request under way on it is done.
    void CloseWhenIdle(hid_device* device, Close close);
    // Ends the thread and closes what waits to be closed. Never waits for a
    // request that hangs: its thread is left to finish it, close its device
    // and end by itself (the library is kept loaded for it, see
    // HidapiReceiver.cpp).
    void Stop();

private:
    // What the thread uses: shared, so that it outlives a Stop that leaves
    // the thread to finish a hanging request.
    struct Shared
    {
        std::mutex mutex;
        std::condition_variable changed;
        bool stopping = false;

        // The request: set by Run, taken by the thread, answered by `result`.
        bool pending = false;
        bool running = false;
        hid_device* device = nullptr;
        Send send = nullptr;
        std::vector<unsigned char> data;
        unsigned long long sequence = 0; // of the last request handed over
        unsigned long long finished = 0; // of the last request done
        int result = -1;

        struct Deferred
        {
            hid_device* device;
            Close close;
        };
        std::vector<Deferred> closeLater;
    };

    static void Loop(const std::shared_ptr<Shared>& shared);

    std::shared_ptr<Shared> shared = std::make_shared<Shared>();
    std::thread thread;
};
