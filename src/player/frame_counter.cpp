#include "player/frame_counter.h"

#include "platform/errors.h"

#include <QMetaObject>
#include <QPointer>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace plovex {

namespace {
std::atomic<int> g_instances{0};
}

// State shared between the counter thread and the hand-overs it posts to
// the GUI thread; a hand-over that arrives after the counter is gone finds
// it here and does nothing.
struct threadFrm::Shared {
    std::mutex mutex;
    std::condition_variable changed;
    bool stopping = false;
    bool pending = false;      // a hand-over is posted and not yet run
    quint64 updatesRun = 0;
};

threadFrm::threadFrm(std::function<void()> update, QObject* parent)
    : QThread(parent), shared_(std::make_shared<Shared>()), update_(std::move(update))
{
    ++g_instances;
}

threadFrm::~threadFrm()
{
    stopAndWait();
    --g_instances;
}

int threadFrm::instanceCount()
{
    return g_instances.load();
}

quint64 threadFrm::updatesRun() const
{
    std::lock_guard lock(shared_->mutex);
    return shared_->updatesRun;
}

void threadFrm::requestStop()
{
    {
        std::lock_guard lock(shared_->mutex);
        shared_->stopping = true;
    }
    shared_->changed.notify_all();
}

void threadFrm::stopAndWait()
{
    requestStop();
    wait();
}

void threadFrm::UpdateFrameStatus()
{
    if (update_)
        update_();
}

void threadFrm::run()
{
    const std::shared_ptr<Shared> shared = shared_;
    // The hand-over is posted to this object, which lives in the GUI thread;
    // once the object is destroyed Qt drops hand-overs still queued for it.
    QObject* receiver = this;
    for (;;) {
        {
            std::unique_lock lock(shared->mutex);
            if (shared->stopping)
                return;
            shared->pending = true;
        }
        QMetaObject::invokeMethod(
            receiver,
            [this, shared] {
                {
                    std::lock_guard lock(shared->mutex);
                    if (!shared->pending || shared->stopping)
                        return;
                }
                try {
                    UpdateFrameStatus();
                } catch (...) {
                    ReportCurrentException();
                }
                {
                    std::lock_guard lock(shared->mutex);
                    shared->pending = false;
                    ++shared->updatesRun;
                }
                shared->changed.notify_all();
            },
            Qt::QueuedConnection);
        std::unique_lock lock(shared->mutex);
        shared->changed.wait(lock, [&] { return !shared->pending || shared->stopping; });
        if (shared->stopping)
            return;
        shared->changed.wait_for(lock, std::chrono::milliseconds(kIntervalMs), [&] { return shared->stopping; });
    }
}

} // namespace plovex
