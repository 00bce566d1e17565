#pragma once

#include <QThread>
#include <functional>
#include <memory>

namespace plovex {

// The frame counter: a thread that, every 40 milliseconds, hands one
// status update to the GUI thread and waits until the GUI thread has run
// it. It touches nothing itself, so no lock guards the player or the
// status bar. Told to stop, it gives up a hand-over that is still pending,
// so that a GUI thread waiting for its end never waits on itself.
// At most one exists at a time.
class threadFrm final : public QThread {
    Q_OBJECT

public:
    // update runs on the thread that creates the counter (the GUI thread).
    explicit threadFrm(std::function<void()> update, QObject* parent = nullptr);
    // Stops the thread and waits for it.
    ~threadFrm() override;

    // Asks the thread to end; returns at once. A pending hand-over is given up.
    void requestStop();
    // requestStop, then waits until the thread has ended.
    void stopAndWait();

    // The GUI step: the update given to the constructor.
    void UpdateFrameStatus();

    // How many counters exist right now (0 or 1 in a correct program).
    static int instanceCount();
    // How many hand-overs the GUI thread has run for this counter.
    quint64 updatesRun() const;

    static constexpr int kIntervalMs = 40;

protected:
    void run() override;   // the counter's body

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
    std::function<void()> update_;
};

} // namespace plovex
