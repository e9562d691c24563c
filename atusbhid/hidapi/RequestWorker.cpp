#include "RequestWorker.h"

int RequestWorker::Run(hid_device* target, Send sendFn, const unsigned char* bytes,
                       std::size_t size, std::chrono::milliseconds limit)
{
    Shared& s = *shared;
    std::unique_lock lock(s.mutex);
    // One request at a time: while one hangs, the receiver is not answering
    // and the next would only queue up behind it.
    if (s.pending || s.running)
        return -1;
    if (!thread.joinable()) {
        s.stopping = false;
        thread = std::thread([state = shared] { Loop(state); });
    }
    s.device = target;
    s.send = sendFn;
    s.data.assign(bytes, bytes + size);
    s.pending = true;
    const unsigned long long mine = ++s.sequence;
    s.changed.notify_all();
    if (!s.changed.wait_for(lock, limit, [&] { return s.finished == mine; }))
        return -1;
    return s.result;
}

bool RequestWorker::Busy()
{
    std::lock_guard lock(shared->mutex);
    return shared->pending || shared->running;
}

void RequestWorker::CloseWhenIdle(hid_device* target, Close close)
{
    {
        std::lock_guard lock(shared->mutex);
        if ((shared->pending || shared->running) && shared->device == target) {
            shared->closeLater.push_back({target, close});
            return;
        }
    }
    close(target);
}

void RequestWorker::Stop()
{
    std::unique_lock lock(shared->mutex);
    if (thread.joinable()) {
        shared->stopping = true;
        shared->changed.notify_all();
        if (shared->pending || shared->running) {
            // Joining would hold the caller (a dialog closing, the program
            // ending) for as long as the kernel lets the write hang.
            thread.detach();
            lock.unlock();
            shared = std::make_shared<Shared>();
            return;
        }
        lock.unlock();
        thread.join();
        lock.lock();
    }
    for (const Shared::Deferred& d : shared->closeLater)
        d.close(d.device);
    shared->closeLater.clear();
    shared->pending = shared->running = false;
}

void RequestWorker::Loop(const std::shared_ptr<Shared>& state)
{
    Shared& s = *state;
    std::unique_lock lock(s.mutex);
    for (;;) {
        // A request handed over is sent even when asked to stop: whoever
        // handed it over is waiting for it.
        s.changed.wait(lock, [&] { return s.pending || s.stopping; });
        if (!s.pending)
            return;
        s.pending = false;
        s.running = true;
        hid_device* target = s.device;
        const Send sendFn = s.send;
        const std::vector<unsigned char> bytes = s.data;
        lock.unlock();
        const int sent = sendFn(target, bytes.data(), bytes.size());
        lock.lock();
        s.running = false;
        s.result = sent;
        s.finished = s.sequence;
        // Closed while the request hung: its device goes now.
        for (auto it = s.closeLater.begin(); it != s.closeLater.end();) {
            if (it->device == target) {
                it->close(it->device);
                it = s.closeLater.erase(it);
            } else {
                ++it;
            }
        }
        s.changed.notify_all();
    }
}
