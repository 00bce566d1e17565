#include "audio/output.h"

#include <QAudioFormat>
#include <QAudioSink>
#include <QElapsedTimer>
#include <QMediaDevices>
#include <QTimer>
#include <QtGlobal>
#include <algorithm>
#include <cstdio>
#include <mutex>

namespace plovex::audio {

struct AudioOutput::Shared {
    std::mutex mutex;   // guards mixer
    Mixer mixer;
    std::atomic<bool> open{false};
    std::atomic<bool> failed{false};   // the device is missing or was lost
    std::atomic<qint64> queued{0};
    // Sounds told while the device opens wait in the mixer; when it opens,
    // the time since the movie was set is skipped, so they are heard where
    // they would have been had the device been open all along.
    QElapsedTimer clock;
    std::atomic<qint64> waitingSince{-1};   // ms on clock, -1: nothing waits
};

namespace {

constexpr int kBytesPerFrame = kOutputChannels * 2;

// Lives on the output thread: owns the sink and keeps it fed.
class Pump : public QObject {
public:
    explicit Pump(std::shared_ptr<AudioOutput::Shared> shared) : shared_(std::move(shared)) {}
    ~Pump() override { close(); }

    void open()
    {
        if (sink_)
            return;
        const QAudioDevice device = QMediaDevices::defaultAudioOutput();
        if (device.isNull()) {
            fail("no sound device; the movie plays without sound");
            return;
        }
        QAudioFormat format;
        format.setSampleRate(kOutputRate);
        format.setChannelCount(kOutputChannels);
        format.setSampleFormat(QAudioFormat::Int16);
        if (!device.isFormatSupported(format)) {
            fail("the sound device takes no 44.1 kHz 16-bit stereo; the movie plays without sound");
            return;
        }
        sink_ = new QAudioSink(device, format, this);
        sink_->setBufferSize(kOutputRate * kBytesPerFrame * AudioOutput::kBufferMs / 1000);
        io_ = sink_->start();
        if (!io_ || sink_->error() != QAudio::NoError) {
            close();
            fail("the sound device cannot be opened; the movie plays without sound");
            return;
        }
        const qint64 since = shared_->waitingSince.exchange(-1);
        if (since >= 0) {
            const qint64 late = std::min<qint64>(shared_->clock.elapsed() - since, 10000) * kOutputRate / 1000;
            std::vector<int16_t> discard(size_t(std::max<qint64>(0, late)) * kOutputChannels);
            std::lock_guard lock(shared_->mutex);
            shared_->mixer.mix(discard.data(), late);
        }
        shared_->open = true;
        shared_->failed = false;
        reported_ = false;
        timer_ = new QTimer(this);
        timer_->setTimerType(Qt::PreciseTimer);
        QObject::connect(timer_, &QTimer::timeout, this, [this] { pump(); });
        timer_->start(5);
        pump();
    }

    void close()
    {
        if (timer_)
            timer_->stop();
        if (sink_) {
            sink_->stop();
            delete sink_;
        }
        sink_ = nullptr;
        io_ = nullptr;
        shared_->open = false;
        shared_->queued = 0;
    }

private:
    void fail(const char* message)
    {
        // One line for each time the sound goes away, not one a movie.
        if (!reported_)
            std::fprintf(stderr, "plovex: %s\n", message);
        reported_ = true;
        shared_->failed = true;
        std::lock_guard lock(shared_->mutex);
        shared_->mixer.stopAll();
    }

    void pump()
    {
        if (!sink_ || !io_)
            return;
        if (sink_->error() == QAudio::OpenError || sink_->error() == QAudio::FatalError ||
            sink_->state() == QAudio::StoppedState) {
            close();
            fail("the sound device was lost; the movie plays on without sound");
            return;
        }
        const qint64 free = sink_->bytesFree() / kBytesPerFrame;
        if (free > 0) {
            buffer_.resize(size_t(free) * kOutputChannels);
            {
                std::lock_guard lock(shared_->mutex);
                shared_->mixer.mix(buffer_.data(), free);
            }
            io_->write(reinterpret_cast<const char*>(buffer_.data()), free * kBytesPerFrame);
        }
        shared_->queued = (sink_->bufferSize() - sink_->bytesFree()) / kBytesPerFrame;
    }

    std::shared_ptr<AudioOutput::Shared> shared_;
    QAudioSink* sink_ = nullptr;
    QIODevice* io_ = nullptr;
    QTimer* timer_ = nullptr;
    std::vector<int16_t> buffer_;
    bool reported_ = false;
};

} // namespace

AudioOutput::AudioOutput() : shared_(std::make_shared<Shared>())
{
    shared_->clock.start();
    // The desktop's volume mixer lists the stream under the program's name.
    // (PulseAudio and PipeWire's server read this before Qt's own name.)
    qputenv("PULSE_PROP_OVERRIDE_application.name", "Plovex");
    thread_.setObjectName(QStringLiteral("PlovexAudio"));
}

AudioOutput::~AudioOutput()
{
    if (thread_.isRunning()) {
        thread_.quit();
        thread_.wait();
    }
}

void AudioOutput::ensureDevice()
{
    if (!thread_.isRunning()) {
        thread_.start(QThread::TimeCriticalPriority);
        auto* pump = new Pump(shared_);
        pump->moveToThread(&thread_);
        QObject::connect(&thread_, &QThread::finished, pump, &QObject::deleteLater);
        pump_ = pump;
    }
    if (!shared_->open) {
        shared_->failed = false;
        shared_->waitingSince = shared_->clock.elapsed();
        QMetaObject::invokeMethod(pump_, [p = static_cast<Pump*>(pump_)] { p->open(); }, Qt::QueuedConnection);
    }
}

void AudioOutput::setMovie(std::shared_ptr<const swf::Movie> movie)
{
    {
        std::lock_guard lock(shared_->mutex);
        shared_->mixer.setMovie(movie);
    }
    // A device that was missing or lost is tried again with each movie.
    if (movie)
        ensureDevice();
}

void AudioOutput::stopStreams()
{
    std::lock_guard lock(shared_->mutex);
    shared_->mixer.stopStreams();
}

void AudioOutput::stopAll()
{
    std::lock_guard lock(shared_->mutex);
    shared_->mixer.stopAll();
}

std::optional<int> AudioOutput::rootStreamFrame(const swf::Timeline& root)
{
    if (!shared_->open)
        return std::nullopt;   // without a running device the timeline keeps its own rate
    std::lock_guard lock(shared_->mutex);
    return shared_->mixer.streamFrame(swf::TimelineId{}, root, shared_->queued);
}

void AudioOutput::startSound(const swf::SoundStart& start)
{
    startTimelineSound(swf::TimelineId{}, start);
}

void AudioOutput::startTimelineSound(const swf::TimelineId& timeline, const swf::SoundStart& start)
{
    // Sounds wait in the mixer while the device opens; without one they
    // are dropped.
    if (shared_->failed || start.soundId == 0)
        return;
    // Decoded here, outside the lock the output thread mixes under.
    auto pcm = start.info.syncStop ? nullptr : shared_->mixer.cache().sound(start.soundId);
    std::lock_guard lock(shared_->mutex);
    shared_->mixer.startDecoded(start.soundId, start.info, std::move(pcm), timeline);
}

void AudioOutput::streamBlock(const swf::TimelineId& timeline, int stream, int block)
{
    if (shared_->failed)
        return;
    auto decoded = shared_->mixer.cache().stream(stream);
    std::lock_guard lock(shared_->mutex);
    shared_->mixer.streamDecoded(timeline, stream, block, std::move(decoded));
}

quint64 AudioOutput::startScriptSound(const swf::ScriptSound& sound)
{
    if (shared_->failed)
        return 0;
    auto pcm = shared_->mixer.cache().sound(sound.soundId);
    std::lock_guard lock(shared_->mutex);
    return shared_->mixer.startScriptDecoded(sound, std::move(pcm));
}

void AudioOutput::stopOwnerSounds(const swf::TimelineId& owner)
{
    std::lock_guard lock(shared_->mutex);
    shared_->mixer.stopOwnerSounds(owner);
}

void AudioOutput::setSoundTransform(const std::optional<swf::TimelineId>& owner, const swf::SoundTransform& transform)
{
    std::lock_guard lock(shared_->mutex);
    shared_->mixer.setSoundTransform(owner, transform);
}

qint64 AudioOutput::soundPosition(quint64 handle)
{
    std::lock_guard lock(shared_->mutex);
    // What is heard lags what is mixed by the sound queued ahead.
    const qint64 pos = shared_->mixer.soundPosition(handle);
    return pos < 0 ? pos : std::max<qint64>(0, pos - shared_->queued);
}

std::vector<quint64> AudioOutput::takeFinishedSounds()
{
    std::lock_guard lock(shared_->mutex);
    return shared_->mixer.takeFinishedSounds();
}

void AudioOutput::addLoadedSound(int soundId, std::shared_ptr<const QByteArray> mp3File)
{
    shared_->mixer.cache().addLoaded(soundId, std::move(mp3File));
}

qint64 AudioOutput::soundLength(int soundId)
{
    // Only the sound cache, which has a lock of its own: decoding does not
    // hold up the output thread.
    return shared_->mixer.soundLength(soundId);
}

bool AudioOutput::deviceOpen() const
{
    return shared_->open;
}

qint64 AudioOutput::queuedFrames() const
{
    return shared_->queued;
}

} // namespace plovex::audio
