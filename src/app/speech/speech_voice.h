// The program's one voice: speaks a text aloud asynchronously (synthesis on a worker thread,
// playback through an AudioOutput), reports the word being heard, pauses, resumes, stops at
// once, and saves speech into a WAV file on a worker thread while the window answers.
#pragma once

#include <QObject>
#include <QStringList>
#include <QTimer>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/speech/audio_output.h"
#include "tools/speech/speech_engine.h"

namespace qm {

class SpeechVoice : public QObject {
    Q_OBJECT
public:
    // Gives the engine when it is first needed (starting one takes time); it may give null (no
    // engine on this system): no voices, nothing speaks. The engine must outlive the voice.
    using EngineSource = std::function<SpeechEngine*()>;

    explicit SpeechVoice(EngineSource engine, QObject* parent = nullptr);
    explicit SpeechVoice(SpeechEngine* engine, QObject* parent = nullptr);
    ~SpeechVoice() override;

    // Replaces where sound goes (tests); the default is the system's audio output device.
    void setOutputFactory(AudioOutputFactory factory) { factory_ = std::move(factory); }

    // Ends any speech at once; afterwards the voice reports that it is done.
    void recreate();
    QStringList listVoices() const;
    // True when a voice with this description exists and was chosen.
    bool selectVoice(const QString& description);
    // -10 to 10. While speaking the new speed starts from the word being heard.
    void setRate(int rate);
    // 0 to 100, at once.
    void setVolume(int volume);

    // Starts speaking `utf8` and returns at once. Returns false (why in lastError()) when
    // there is no engine or no audio output device; the voice is then done.
    bool speak(const std::string& utf8);
    // True while speaking (also while paused): *position and *length are the word being heard,
    // in characters of the spoken text (0 and 0 before the first word). When done: false,
    // both -1.
    bool getWordStatus(int* position, int* length);
    void pause();
    void resume();
    QString lastError() const { return lastError_; }

    // Starts writing the speech of `utf8` into the WAV file `path` in list format
    // `formatItem`; saveFinished reports the outcome. Returns false when a save is already
    // running or there is no engine.
    bool startSaving(const std::string& utf8, int formatItem, const std::string& path);
    bool saving() const { return saveThread_.joinable() && !saveDone_; }

signals:
    void saveFinished(bool ok);

private:
    // One synthesis run feeding the output; a speed change starts a new one mid-text.
    struct Stream {
        std::mutex mutex;
        std::vector<int16_t> pcm;
        std::vector<WordMark> words;  // positions relative to the run's text
        bool done = false;
        std::atomic<bool> stop{false};
        std::thread thread;
        int64_t base = 0;  // where the run's first sample goes in the whole sound
        int charBase = 0;  // where the run's text starts in the spoken text
    };

    void startStream(int charBase, int64_t base);
    void endStream();
    void feed();
    int64_t playedSamples() const;
    // The heard word in the whole sound; false before the first word.
    bool heardWord(WordMark* word);
    void joinSave();
    // The engine, asked of the source on the first call.
    SpeechEngine* engine() const;

    EngineSource engineSource_;
    mutable SpeechEngine* engine_ = nullptr;
    mutable bool engineAsked_ = false;
    AudioOutputFactory factory_;
    std::unique_ptr<AudioOutput> output_;
    std::unique_ptr<Stream> stream_;
    std::vector<WordMark> history_;  // words of earlier runs, whole-sound positions
    std::string text_;
    int64_t written_ = 0;  // samples handed to the output
    QTimer feedTimer_;
    int rate_ = 0;
    int volume_ = 100;
    bool active_ = false;
    QString lastError_;

    std::thread saveThread_;
    std::atomic<bool> saveStop_{false};
    std::atomic<bool> saveDone_{false};
};

}  // namespace qm
