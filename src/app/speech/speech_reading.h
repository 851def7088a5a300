// Reading notes aloud: toolbar button 11 "朗读" shows the reading bar. "朗读" reads the selected
// text (or the whole note) and a 100 ms timer selects the word being heard; "停止" ends it at
// once. In save mode "保存到wav" writes the speech into a WAV file on a worker thread. Voice,
// speed, volume and format are kept in the settings. Reading belongs to its note: it ends when
// another note loads or the text changes.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <string>

class QWidget;

namespace qm {

class MainToolBar;
class NoteSession;
class SettingsStore;
class SpeechBar;
class SpeechEngine;
class SpeechVoice;
class WindowLayout;

class SpeechReading : public QObject {
    Q_OBJECT
public:
    static constexpr int kToolBarButton = 11;
    static constexpr int kTickMs = 100;
    static constexpr int kSavedCaptionMs = 500;

    // Adds the toolbar button and the bar (hidden until checked), restores voice, speed and
    // volume from `settings`. `engine` is asked for the engine only when the bar is first
    // used (starting one takes time); it may give null (no voices). Everything passed in must
    // outlive this object.
    SpeechReading(MainToolBar* toolBar, WindowLayout& layout, QWidget* clientArea,
                  NoteSession* session, SettingsStore* settings,
                  std::function<SpeechEngine*()> engine, QObject* parent = nullptr);
    ~SpeechReading() override;

    // "朗读": starts reading when idle, otherwise toggles pausing.
    void readClicked();
    // "停止": the speech ends now; the next tick restores the bar.
    void stopClicked();
    // A right click on "朗读" (true) or on "保存到wav" (false).
    void switchToSaveMode(bool on);
    // "保存到wav": asks for a file name and starts writing; returns false when nothing started.
    bool saveClicked();
    // Fills the voice list from the engine (F5: after ending any speech).
    void fillVoiceList();

    // True while the read button does not show "朗读".
    bool reading() const;
    bool saving() const;
    SpeechBar* bar() const { return bar_; }
    SpeechVoice* voice() const { return voice_; }
    QTimer& timer() { return timer_; }

signals:
    // Reading ended and the bar is back at rest.
    void readingEnded();
    // A WAV save ended; `ok` tells whether the file is complete.
    void saveEnded(bool ok);

private:
    bool prepareVoice();
    void tick();
    // The end steps; `restore`: put the selection from before the reading back.
    void endReading(bool restore);
    // The note or its text changed under the reading.
    void abandonReading();
    void restore();
    void saveFinished(bool ok);

    NoteSession* session_;
    SettingsStore* settings_;
    SpeechBar* bar_;
    SpeechVoice* voice_;
    QTimer timer_;
    bool voicesListed_ = false;
    bool formatsListed_ = false;
    std::string speechText_;  // UTF-8, as the engine counts it
    int readBase_ = 0;
    int readLength_ = 0;
    int lastWordPosition_ = 0;
    int lastWordLength_ = 0;
    QString savePath_;
};

}  // namespace qm
