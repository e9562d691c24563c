#include "Resources.h"

#include <QGuiApplication>
#include <QImageReader>
#include <QResource>
#include <QString>
#include <QtEndian>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>

#ifdef __linux__
#include <sys/mman.h>
#include <unistd.h>
#endif

// The resources sit in an object file of this static library that nothing else
// refers to; naming its init function keeps the linker from dropping it.
// Q_INIT_RESOURCE cannot be used inside a namespace.
static void RegisterResources()
{
    static const bool registered = [] {
        Q_INIT_RESOURCE(tavrolin_bitmaps);
        return true;
    }();
    (void)registered;
}

namespace {

const std::vector<int> kBitmapIds = {134, 135, 136, 137, 138, 142, 143, 144, 145, 146, 147,
                                     148, 158, 159, 160, 161, 162, 163, 164, 165, 170, 172,
                                     173, 174, 175, 176, 177, 178, 179, 180, 181};

quint32 Le32(const QByteArray& data, qsizetype at)
{
    quint32 value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | static_cast<uchar>(data[at + i]);
    return value;
}

constexpr qsizetype kArtHeaderSize = 16;

// A stored picture is its own pixels behind a small header (made at build time
// by pack_art.cpp), so the unpacked file becomes the picture as it is: no
// decoding, and no second copy of 2 MB for a page at 2x. A null image for
// anything that does not hold together.
QImage WrapPixels(QByteArray stored)
{
    if (stored.size() < kArtHeaderSize || !stored.startsWith("TVA1"))
        return {};
    const quint32 width = Le32(stored, 4);
    const quint32 height = Le32(stored, 8);
    if (width == 0 || width > 16384 || height == 0 || height > 16384 ||
        stored.size() != kArtHeaderSize + qsizetype(width) * height * 4)
        return {};
    const qsizetype count = qsizetype(width) * height;
    auto* held = new QByteArray(std::move(stored));
    uchar* pixels = reinterpret_cast<uchar*>(held->data()) + kArtHeaderSize;
    QImage image;
    if (reinterpret_cast<quintptr>(pixels) % alignof(QRgb) == 0) {
        const auto release = [](void* bytes) {
            delete static_cast<QByteArray*>(bytes);
        };
        image = QImage(pixels, int(width), int(height), qsizetype(width) * 4, QImage::Format_RGB32,
                       release, held);
        if (image.isNull())
            delete held;
    } else {
        // Not where a picture's rows may start: copied once.
        image = QImage(int(width), int(height), QImage::Format_RGB32);
        if (!image.isNull())
            std::memcpy(image.bits(), pixels, count * 4);
        delete held;
    }
    if constexpr (Q_BYTE_ORDER == Q_BIG_ENDIAN) {
        // Stored little-endian, painted as native words.
        if (!image.isNull()) {
            auto* words = reinterpret_cast<quint32*>(image.bits());
            for (qsizetype i = 0; i < count; ++i)
                words[i] = qFromLittleEndian(words[i]);
        }
    }
    return image;
}

// The stored art is read-only data of the mapped program file. Reading one
// picture maps its neighbours too (the kernel maps pages around a fault), so
// once a picture is unpacked the pages of all stored art are handed back; they
// are read again from the file should another picture be wanted.
void ReleaseStoredArt()
{
#ifdef __linux__
    static const auto [begin, end] = [] {
        quintptr first = ~quintptr(0), last = 0;
        for (int id : kBitmapIds) {
            for (const char* suffix : {"", "@2x"}) {
                const QResource stored(QStringLiteral(":/bitmaps/%1%2.rgb32").arg(id).arg(suffix));
                const auto at = reinterpret_cast<quintptr>(stored.data());
                if (!stored.isValid() || !at)
                    continue;
                first = std::min(first, at);
                last = std::max(last, at + static_cast<quintptr>(stored.size()));
            }
        }
        // Whole pages only: the bytes around the art belong to other data.
        const auto page = static_cast<quintptr>(sysconf(_SC_PAGESIZE));
        return std::pair{(first + page - 1) & ~(page - 1), last & ~(page - 1)};
    }();
    if (end > begin)
        madvise(reinterpret_cast<void*>(begin), end - begin, MADV_DONTNEED);
#endif
}

QImage ReadBitmap(const QString& path)
{
    RegisterResources();
    const QResource resource(path);
    if (!resource.isValid())
        return {};
    QImage image = WrapPixels(resource.uncompressedData());
    ReleaseStoredArt();
    return image;
}

QImage Load(int id, bool dense)
{
    if (id <= 0)
        return {};
    QImage image;
    if (dense) {
        image = ReadBitmap(QStringLiteral(":/bitmaps/%1@2x.rgb32").arg(id));
        if (!image.isNull())
            image.setDevicePixelRatio(2.0);
    }
    if (image.isNull())
        image = ReadBitmap(QStringLiteral(":/bitmaps/%1.rgb32").arg(id));
    if (image.isNull())
        return {};
    // One pixel format for every face and page, so that painting and
    // comparisons do not depend on how a file happens to be stored.
    return image.convertToFormat(QImage::Format_RGB32);
}

using BitmapKey = std::pair<int, bool>; // id, dense

} // namespace

// The pictures still to unpack, the one being unpacked and those ready. The
// thread takes them in order; a caller that wants one before the thread came
// to it unpacks it itself, so nobody waits behind pictures it does not need.
struct BitmapPrefetch::Work
{
    std::mutex mutex;
    std::condition_variable unpacked;
    std::deque<BitmapKey> queued;
    std::optional<BitmapKey> unpacking;
    std::map<BitmapKey, QImage> ready;
    std::thread thread;

    // Any thread; false when KEY is not one of this prefetch's.
    bool Take(const BitmapKey& key, QImage& image)
    {
        std::unique_lock lock(mutex);
        if (const auto queuedAt = std::find(queued.begin(), queued.end(), key);
            queuedAt != queued.end()) {
            queued.erase(queuedAt);
            return false;
        }
        unpacked.wait(lock, [&] { return unpacking != key; });
        const auto found = ready.find(key);
        if (found == ready.end())
            return false;
        image = std::move(found->second);
        ready.erase(found);
        return true;
    }

    void Run()
    {
        std::unique_lock lock(mutex);
        while (!queued.empty()) {
            const BitmapKey key = queued.front();
            queued.pop_front();
            unpacking = key;
            lock.unlock();
            QImage image = Load(key.first, key.second);
            lock.lock();
            ready.emplace(key, std::move(image));
            unpacking.reset();
            unpacked.notify_all();
        }
    }
};

namespace {

// The prefetch LoadBitmapResource consults; one at a time.
std::mutex activeMutex;
std::shared_ptr<BitmapPrefetch::Work> active;

} // namespace

BitmapPrefetch::BitmapPrefetch(const std::vector<int>& ids, qreal devicePixelRatio)
    : work(std::make_shared<Work>())
{
    RegisterResources();
    for (int id : ids)
        work->queued.emplace_back(id, devicePixelRatio > 1.0);
    try {
        work->thread = std::thread([w = work.get()] { w->Run(); });
    } catch (const std::system_error&) {
        // No thread to be had: every picture is unpacked when it is wanted.
        return;
    }
    const std::lock_guard lock(activeMutex);
    active = work;
}

BitmapPrefetch::~BitmapPrefetch()
{
    {
        const std::lock_guard lock(activeMutex);
        if (active == work)
            active.reset();
    }
    {
        // Nothing more is started; what was never asked for is dropped.
        const std::lock_guard lock(work->mutex);
        work->queued.clear();
    }
    if (work->thread.joinable())
        work->thread.join();
}

QImage LoadBitmapResource(int id, qreal devicePixelRatio)
{
    const BitmapKey key(id, devicePixelRatio > 1.0);
    std::shared_ptr<BitmapPrefetch::Work> prefetch;
    {
        const std::lock_guard lock(activeMutex);
        prefetch = active;
    }
    if (QImage image; prefetch && prefetch->Take(key, image))
        return image;
    return Load(key.first, key.second);
}

const std::vector<int>& BitmapResourceIds()
{
    return kBitmapIds;
}

QIcon ApplicationIcon()
{
    // One picture, read as PNG (no plugin probing), once. Task bars and
    // switchers show it at 48 points or less; the 256 pixel picture took a
    // tenth of the start to unpack and to hand to the window system.
    static const QIcon icon = [] {
        RegisterResources();
        const bool dense = qApp && qApp->devicePixelRatio() > 1.0;
        QImageReader reader(dense ? QStringLiteral(":/icons/tavrolin-128.png")
                                  : QStringLiteral(":/icons/tavrolin-64.png"),
                            "PNG");
        reader.setAutoDetectImageFormat(false);
        return QIcon(QPixmap::fromImage(reader.read()));
    }();
    return icon;
}
