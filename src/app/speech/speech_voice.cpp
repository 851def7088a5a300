#include "app/speech/speech_voice.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>

#include "common/thread_priority.h"
#include "tools/speech/speech_engine.h"
#include "tools/speech/wave_writer.h"
#include "tools/speech/word_span.h"

namespace qm {

namespace {
constexpr int kFeedIntervalMs = 20;

// A save has no listener waiting for its sound, only a file: it runs as batch work at the
// lowest priority, so it never preempts the window's thread when that wakes up, and takes
// the processor only where the window leaves it. It still runs hundreds of times faster than
// the speech lasts.
void MakeThisThreadBatchWork() {
    sched_param param{};
    param.sched_priority = 0;
    pthread_setschedparam(pthread_self(), SCHED_BATCH, &param);
    setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 19);
}
}  // namespace

SpeechVoice::SpeechVoice(EngineSource engine, QObject* parent)
    : QObject(parent), engineSource_(std::move(engine)), factory_(CreateDeviceOutput) {
    feedTimer_.setInterval(kFeedIntervalMs);
    connect(&feedTimer_, &QTimer::timeout, this, &SpeechVoice::feed);
}

SpeechVoice::SpeechVoice(SpeechEngine* engine, QObject* parent)
    : SpeechVoice(EngineSource([engine] { return engine; }), parent) {}

SpeechEngine* SpeechVoice::engine() const {
    if (!engineAsked_) {
        engineAsked_ = true;
        engine_ = engineSource_ ? engineSource_() : nullptr;
    }
    return engine_;
}

SpeechVoice::~SpeechVoice() {
    recreate();
    saveStop_ = true;
    joinSave();
}

void SpeechVoice::endStream() {
    if (!stream_) return;
    stream_->stop = true;
    if (stream_->thread.joinable()) stream_->thread.join();
    stream_.reset();
}

void SpeechVoice::recreate() {
    feedTimer_.stop();
    endStream();
    if (output_) output_->stop();
    output_.reset();
    history_.clear();
    text_.clear();
    written_ = 0;
    active_ = false;
}

QStringList SpeechVoice::listVoices() const {
    QStringList out;
    if (engine() == nullptr) return out;
    for (const std::string& v : engine()->ListVoices()) out << QString::fromStdString(v);
    return out;
}

bool SpeechVoice::selectVoice(const QString& description) {
    return engine() != nullptr && engine()->SelectVoice(description.toStdString());
}

void SpeechVoice::setRate(int rate) {
    rate_ = rate;
    if (engine() != nullptr) engine()->SetRate(rate);
    if (!active_ || !stream_) return;
    // The rest of the text again, from the word being heard, at the new speed. What the
    // output has queued plays out first; words not yet heard of the old run are dropped.
    WordMark word;
    const int from = heardWord(&word) ? word.position : 0;
    {
        std::lock_guard<std::mutex> lock(stream_->mutex);
        for (const WordMark& w : stream_->words) {
            WordMark whole{stream_->base + w.sample, stream_->charBase + w.position, w.length};
            if (whole.sample < written_ && whole.position < from) history_.push_back(whole);
        }
    }
    endStream();
    startStream(from, written_);
}

void SpeechVoice::setVolume(int volume) {
    volume_ = std::clamp(volume, 0, 100);
    if (output_) output_->setVolume(volume_ / 100.0);
}

void SpeechVoice::startStream(int charBase, int64_t base) {
    stream_ = std::make_unique<Stream>();
    stream_->charBase = charBase;
    stream_->base = base;
    Stream* stream = stream_.get();
    const std::string rest = text_.substr(static_cast<size_t>(Utf8OffsetOfChar(text_, charBase)));
    SpeechEngine* synthesizer = engine();
    stream->thread = std::thread([stream, rest, synthesizer] {
        // Synthesis yields the processor to the window's thread: on a busy machine a worker at
        // the same priority holds the window up for a whole time slice.
        LowerCurrentThreadPriority();
        synthesizer->Synthesize(
            rest,
            [stream](const int16_t* s, size_t n) {
                std::lock_guard<std::mutex> lock(stream->mutex);
                stream->pcm.insert(stream->pcm.end(), s, s + n);
            },
            [stream](const WordMark& w) {
                std::lock_guard<std::mutex> lock(stream->mutex);
                stream->words.push_back(w);
            },
            &stream->stop);
        std::lock_guard<std::mutex> lock(stream->mutex);
        stream->done = true;
    });
}

bool SpeechVoice::speak(const std::string& utf8) {
    recreate();
    lastError_.clear();
    if (engine() == nullptr) {
        lastError_ = QStringLiteral("没有可用的语音引擎，无法朗读。");
        return false;
    }
    output_ = factory_(&lastError_);
    if (!output_) return false;
    output_->setVolume(volume_ / 100.0);
    if (!output_->start(engine()->SampleRate())) {
        lastError_ = QStringLiteral("音频输出设备不接受朗读的声音格式，无法朗读。");
        output_.reset();
        return false;
    }
    // Loudness is the output's, so that a change is heard at once.
    engine()->SetVolume(100);
    engine()->SetRate(rate_);
    text_ = utf8;
    active_ = true;
    startStream(0, 0);
    feedTimer_.start();
    feed();
    return true;
}

void SpeechVoice::feed() {
    if (!output_ || !stream_) return;
    std::lock_guard<std::mutex> lock(stream_->mutex);
    const int64_t offset = written_ - stream_->base;
    const int64_t available = static_cast<int64_t>(stream_->pcm.size()) - offset;
    if (available <= 0) return;
    const qint64 room = output_->bytesFree() / 2;
    const int64_t count = std::min<int64_t>(available, room);
    if (count <= 0) return;
    const qint64 taken =
        output_->write(reinterpret_cast<const char*>(stream_->pcm.data() + offset), count * 2);
    if (taken > 0) written_ += taken / 2;
}

int64_t SpeechVoice::playedSamples() const {
    if (!output_ || engine() == nullptr) return 0;
    return output_->playedMicros() * engine()->SampleRate() / 1000000;
}

bool SpeechVoice::heardWord(WordMark* word) {
    const int64_t played = playedSamples();
    bool found = false;
    for (const WordMark& w : history_) {
        if (w.sample > played) break;
        *word = w;
        found = true;
    }
    if (!stream_) return found;
    std::lock_guard<std::mutex> lock(stream_->mutex);
    for (const WordMark& w : stream_->words) {
        const int64_t sample = stream_->base + w.sample;
        if (sample > played) break;
        *word = WordMark{sample, stream_->charBase + w.position, w.length};
        found = true;
    }
    return found;
}

bool SpeechVoice::getWordStatus(int* position, int* length) {
    bool finished = !active_;
    if (!finished && stream_) {
        feed();
        bool allWritten;
        {
            std::lock_guard<std::mutex> lock(stream_->mutex);
            allWritten = stream_->done &&
                         written_ >= stream_->base + static_cast<int64_t>(stream_->pcm.size());
        }
        finished = allWritten && (output_->drained() || playedSamples() >= written_);
    }
    if (finished) {
        recreate();
        *position = -1;
        *length = -1;
        return false;
    }
    WordMark word;
    if (heardWord(&word)) {
        *position = word.position;
        *length = word.length;
    } else {
        *position = 0;
        *length = 0;
    }
    return true;
}

void SpeechVoice::pause() {
    if (output_) output_->suspend();
}

void SpeechVoice::resume() {
    if (output_) output_->resume();
}

void SpeechVoice::joinSave() {
    if (saveThread_.joinable()) saveThread_.join();
}

bool SpeechVoice::startSaving(const std::string& utf8, int formatItem, const std::string& path) {
    if (engine() == nullptr || saving()) return false;
    joinSave();
    saveStop_ = false;
    saveDone_ = false;
    engine()->SetVolume(volume_);
    engine()->SetRate(rate_);
    SpeechEngine* synthesizer = engine();
    saveThread_ = std::thread([this, synthesizer, utf8, formatItem, path] {
        MakeThisThreadBatchWork();
        const bool ok = SaveSpeechToWave(*synthesizer, utf8, formatItem, path, &saveStop_);
        saveDone_ = true;
        // Reported on the window's thread; a voice destroyed meanwhile has joined this thread
        // first, and the queued call dies with it.
        QMetaObject::invokeMethod(
            this, [this, ok] { emit saveFinished(ok); }, Qt::QueuedConnection);
    });
    return true;
}

}  // namespace qm
