// Where spoken samples are played: the system's default audio output through Qt Multimedia, or
// an output a test supplies. 16-bit mono samples are pushed in; the output tells how much of
// them has been heard, which is what the word highlighting follows.
#pragma once

#include <QString>
#include <QtGlobal>
#include <functional>
#include <memory>

namespace qm {

class AudioOutput {
public:
    virtual ~AudioOutput() = default;
    // Starts playing 16-bit mono samples at `sampleRate`. Returns false when the device
    // refuses the format.
    virtual bool start(int sampleRate) = 0;
    // Queues up to `bytes` bytes; returns how many were taken.
    virtual qint64 write(const char* data, qint64 bytes) = 0;
    // Bytes the output can take now.
    virtual qint64 bytesFree() const = 0;
    // Microseconds of sound played since start.
    virtual qint64 playedMicros() const = 0;
    // True when everything queued has been played.
    virtual bool drained() const = 0;
    virtual void suspend() = 0;
    virtual void resume() = 0;
    virtual void stop() = 0;
    // 0 (silent) to 1 (full).
    virtual void setVolume(double volume) = 0;
};

using AudioOutputFactory = std::function<std::unique_ptr<AudioOutput>(QString* why)>;

// The default audio output device, or nullptr with *why set when the system has none.
std::unique_ptr<AudioOutput> CreateDeviceOutput(QString* why);

}  // namespace qm
