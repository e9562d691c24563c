#include "RequestWorker.h"

int RequestWorker::Run(hid_device* target, Send sendFn, const unsigned char* bytes,
                       std::size_t size, std::chrono::milliseconds limit)
{
    std::unique_lock lock(mutex);
    // One request at a time: while one hangs, the receiver is not answering
    // and the next would only queue up behind it.
    if (pending || running)
        return -1;
    if (!thread.joinable()) {
        stopping = false;
        thread = std::thread([this] { Loop(); });
    }
    device = target;
    send = sendFn;
    data.assign(bytes, bytes + size);
    pending = true;
    const unsigned long long mine = ++sequence;
    changed.notify_all();
    if (!changed.wait_for(lock, limit, [&] { return finished == mine; }))
        return -1;
    return result;
}

bool RequestWorker::Busy()
{
    std::lock_guard lock(mutex);
    return pending || running;
}

void RequestWorker::CloseWhenIdle(hid_device* target, Close close)
{
    {
        std::lock_guard lock(mutex);
        if ((pending || running) && device == target) {
            closeLater.push_back({target, close});
            return;
        }
    }
    close(target);
}

void RequestWorker::Stop()
{
    std::unique_lock lock(mutex);
    if (thread.joinable()) {
        stopping = true;
        changed.notify_all();
        lock.unlock();
        thread.join();
        lock.lock();
    }
    for (const Deferred& d : closeLater)
        d.close(d.device);
    closeLater.clear();
    pending = running = false;
}

void RequestWorker::Loop()
{
    std::unique_lock lock(mutex);
    for (;;) {
        // A request handed over is sent even when asked to stop: whoever
        // handed it over is waiting for it.
        changed.wait(lock, [&] { return pending || stopping; });
        if (!pending)
            return;
        pending = false;
        running = true;
        hid_device* target = device;
        const Send sendFn = send;
        const std::vector<unsigned char> bytes = data;
        lock.unlock();
        const int sent = sendFn(target, bytes.data(), bytes.size());
        lock.lock();
        running = false;
        result = sent;
        finished = sequence;
        // Closed while the request hung: its device goes now.
        for (auto it = closeLater.begin(); it != closeLater.end();) {
            if (it->device == target) {
                it->close(it->device);
                it = closeLater.erase(it);
            } else {
                ++it;
            }
        }
        changed.notify_all();
    }
}
