#include "app/speech/audio_output.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QIODevice>
#include <QMediaDevices>

namespace qm {

namespace {

class DeviceOutput : public AudioOutput {
public:
    explicit DeviceOutput(const QAudioDevice& device) : device_(device) {}
    ~DeviceOutput() override { DeviceOutput::stop(); }

    bool start(int sampleRate) override {
        QAudioFormat format;
        format.setSampleRate(sampleRate);
        format.setChannelCount(1);
        format.setSampleFormat(QAudioFormat::Int16);
        if (!device_.isFormatSupported(format)) return false;
        sink_ = std::make_unique<QAudioSink>(device_, format);
        sink_->setVolume(volume_);
        io_ = sink_->start();
        return io_ != nullptr && sink_->error() == QAudio::NoError;
    }
    qint64 write(const char* data, qint64 bytes) override {
        return io_ != nullptr ? io_->write(data, bytes) : 0;
    }
    qint64 bytesFree() const override { return sink_ ? sink_->bytesFree() : 0; }
    qint64 playedMicros() const override { return sink_ ? sink_->processedUSecs() : 0; }
    bool drained() const override {
        return !sink_ || sink_->state() == QAudio::IdleState ||
               sink_->state() == QAudio::StoppedState;
    }
    void suspend() override {
        if (sink_) sink_->suspend();
    }
    void resume() override {
        if (sink_) sink_->resume();
    }
    void stop() override {
        if (sink_) sink_->reset();
        sink_.reset();
        io_ = nullptr;
    }
    void setVolume(double volume) override {
        volume_ = volume;
        if (sink_) sink_->setVolume(volume);
    }

private:
    QAudioDevice device_;
    std::unique_ptr<QAudioSink> sink_;
    QIODevice* io_ = nullptr;
    double volume_ = 1;
};

}  // namespace

std::unique_ptr<AudioOutput> CreateDeviceOutput(QString* why) {
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) {
        if (why != nullptr) {
            *why = QStringLiteral(
                "没有找到音频输出设备，无法朗读。"
                "可以右击“朗读”，把朗读保存到wav文件。");
        }
        return nullptr;
    }
    return std::make_unique<DeviceOutput>(device);
}

}  // namespace qm
