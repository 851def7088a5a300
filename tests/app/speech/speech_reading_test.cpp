// Reading aloud in the real window, offscreen on a temporary program folder, with an audio
// output whose played position the test moves: the selected word follows what is heard (the
// synthesizer's own word events give the expected positions), pause and stop, reading tied to
// its note, the missing audio device, the voice list, save mode and WAV files.
#include "app/speech/speech_reading.h"

#include <sndfile.h>

#include <QAudioDevice>
#include <QComboBox>
#include <QMediaDevices>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <QtTest>

#include "app/note_window.h"
#include "app/speech/audio_output.h"
#include "app/speech/speech_bar.h"
#include "app/speech/speech_voice.h"
#include "app/widgets/file_dialog.h"
#include "common/charset.h"
#include "tools/speech/espeak_engine.h"

using qm::SpeechReading;
using qm::ToGb;
using qm::testing::NoteWindow;

namespace {

// What the fake output was given and how far "playing" has got, in samples.
struct Playback {
    qint64 written = 0;
    qint64 played = 0;
    bool suspended = false;
    int rate = 0;
};

class FakeOutput : public qm::AudioOutput {
public:
    explicit FakeOutput(Playback* p) : p_(p) {}
    bool start(int sampleRate) override {
        p_->rate = sampleRate;
        return true;
    }
    qint64 write(const char*, qint64 bytes) override {
        p_->written += bytes / 2;
        return bytes;
    }
    qint64 bytesFree() const override { return 1 << 22; }
    qint64 playedMicros() const override { return p_->played * 1000000 / p_->rate; }
    bool drained() const override { return p_->played >= p_->written; }
    void suspend() override { p_->suspended = true; }
    void resume() override { p_->suspended = false; }
    void stop() override {}
    void setVolume(double) override {}

private:
    Playback* p_;
};

struct ReadingWindow {
    explicit ReadingWindow(const QString& body, const QString& settings = {}) {
        qm::NodeFields fields;
        fields.body = ToGb(body);
        window.writeNotebook(3, 1, fields);
        if (!settings.isEmpty()) window.writeSettings(settings);
        window.start();
        window.click(1);
        window.window().toggleToolBar(SpeechReading::kToolBarButton, true);
        speech().voice()->setOutputFactory(
            [this](QString*) { return std::make_unique<FakeOutput>(&playback); });
    }
    SpeechReading& speech() { return *window.window().speech(); }
    qm::SpeechBar& bar() { return *speech().bar(); }
    // The engine's words for `text` at the bar's speed, as the reading will produce them.
    std::vector<qm::WordMark> expectedWords(const QString& text) {
        qm::EspeakEngine* engine = qm::EspeakEngine::Instance();
        engine->SelectVoice(bar().voiceList()->currentText().toStdString());
        engine->SetRate(qm::SpeechBar::kRates[bar().speedList()->currentIndex()]);
        std::vector<qm::WordMark> words;
        engine->Synthesize(
            text.toStdString(), [&](const int16_t*, size_t n) { total += static_cast<qint64>(n); },
            [&](const qm::WordMark& w) { words.push_back(w); });
        return words;
    }
    bool selectionIs(int start, int length) {
        return window.editor().selectionStart() == start &&
               window.editor().selectionLength() == length;
    }
    NoteWindow window;
    Playback playback;
    qint64 total = 0;
};

}  // namespace

class SpeechReadingTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        qm::MessageBox::setAnswerInAdvance(true);
        qm::MessageBox::clearShown();
        qm::FileDialog::reset();
        QVERIFY2(qm::EspeakEngine::Instance() != nullptr, "eSpeak NG data is installed");
    }

    void selectedWordFollowsWhatIsHeard_data() {
        QTest::addColumn<QString>("body");
        QTest::addColumn<int>("selStart");  // the selection read (bytes); -1: the whole note
        QTest::addColumn<int>("selLength");
        QTest::addColumn<QList<int>>("starts");  // expected word starts in the editor
        // 你 好 。 CR LF 世 界: the line break is two characters and two bytes.
        QTest::newRow("whole note with a line break")
            << QStringLiteral("你好。\r\n世界") << -1 << 0 << QList<int>{0, 3, 11, 14};
        // Reading "你好" out of "开始你好结束": the words stand after the selection start.
        QTest::newRow("selection") << QStringLiteral("开始你好结束") << 6 << 6 << QList<int>{6, 9};
    }
    void selectedWordFollowsWhatIsHeard() {
        QFETCH(QString, body);
        QFETCH(int, selStart);
        QFETCH(int, selLength);
        QFETCH(QList<int>, starts);
        ReadingWindow w(body);
        if (selStart >= 0) w.window.editor().showRange(selStart, selLength);
        w.speech().readClicked();
        QCOMPARE(w.bar().readButton()->text(), QStringLiteral("暂停"));
        QVERIFY(w.bar().stopButton()->isEnabled());
        const QString spoken =
            selStart >= 0
                ? QString::fromStdString(qm::Gb18030ToUtf8(w.window.editor().selectedText()))
                : body;
        const auto words = w.expectedWords(spoken);
        QCOMPARE(static_cast<int>(words.size()), starts.size());
        // eSpeak's output differs by a few samples from run to run: wait until all is queued.
        QTRY_VERIFY(std::abs(w.playback.written - w.total) < w.total / 50);
        QTest::qWait(100);
        for (size_t i = 0; i < words.size(); ++i) {
            w.playback.played = words[i].sample + 1000;  // 45 ms into the word
            QTRY_VERIFY2(w.selectionIs(starts[static_cast<int>(i)], 3),
                         qPrintable(QStringLiteral("word %1 at %2+%3")
                                        .arg(i)
                                        .arg(w.window.editor().selectionStart())
                                        .arg(w.window.editor().selectionLength())));
            QCOMPARE(w.bar().readButton()->text(), QStringLiteral("暂停"));
        }
        QSignalSpy ended(&w.speech(), &SpeechReading::readingEnded);
        w.playback.played = w.playback.written;
        QVERIFY(ended.wait(2000));
        QCOMPARE(w.bar().readButton()->text(), QStringLiteral("朗读"));
        QVERIFY(!w.bar().stopButton()->isEnabled());
        QVERIFY(w.selectionIs(selStart >= 0 ? selStart : 0, selStart >= 0 ? selLength : 0));
    }

    void stopWhilePausedEndsReading() {
        ReadingWindow w(QStringLiteral("今天天气很好"));
        w.speech().readClicked();
        w.bar().readButton()->click();
        QCOMPARE(w.bar().readButton()->text(), QStringLiteral("继续"));
        QVERIFY(w.playback.suspended);
        w.bar().readButton()->click();
        QVERIFY(!w.playback.suspended);
        w.bar().readButton()->click();
        QSignalSpy ended(&w.speech(), &SpeechReading::readingEnded);
        w.bar().stopButton()->click();
        QVERIFY(ended.wait(1000));
        QCOMPARE(w.bar().readButton()->text(), QStringLiteral("朗读"));
        QVERIFY(!w.bar().stopButton()->isEnabled());
    }

    void readingBelongsToItsNote() {
        ReadingWindow w(QStringLiteral("今天天气很好"));
        w.speech().readClicked();
        QVERIFY(w.speech().reading());
        w.window.click(2);
        QVERIFY(!w.speech().reading());
        QCOMPARE(w.window.notes().loadedNote(), 2);

        w.window.click(1);
        w.speech().readClicked();
        QVERIFY(w.speech().reading());
        w.window.editor().insertText("x");
        QVERIFY(!w.speech().reading());
        QVERIFY(!w.speech().timer().isActive());
    }

    void withoutAnAudioDeviceReadingEndsAtOnce() {
        ReadingWindow w(QStringLiteral("你好"));
        if (!QMediaDevices::defaultAudioOutput().isNull()) {
            QSKIP("this machine has an audio output device");
        }
        w.speech().voice()->setOutputFactory(qm::CreateDeviceOutput);  // the real one
        w.speech().readClicked();
        QVERIFY(!w.speech().reading());
        QVERIFY(!w.bar().stopButton()->isEnabled());
        QCOMPARE(qm::MessageBox::shown().size(), 1);
        QVERIFY(
            qm::MessageBox::shown().first().text.contains(QStringLiteral("没有找到音频输出设备")));
    }

    void voiceListFallsBackToMandarinAndSettingsAreRestored() {
        ReadingWindow w(QStringLiteral("你好"),
                        QStringLiteral("[主界面]\r\n朗读.语音库=这里没有的语音\r\n"
                                       "朗读.语速=3\r\n朗读.音量=40\r\n"));
        QCOMPARE(w.bar().voiceList()->currentText(), QStringLiteral("这里没有的语音"));
        QCOMPARE(w.bar().speedList()->currentIndex(), 3);
        QCOMPARE(w.bar().volumeSlider()->value(), 40);
        w.speech().readClicked();
        QVERIFY(w.speech().reading());
        QVERIFY(qm::MessageBox::shown().isEmpty());
        const QString mandarin =
            QString::fromStdString(qm::EspeakEngine::Instance()->MandarinVoice());
        QCOMPARE(w.bar().voiceList()->currentText(), mandarin);
        QVERIFY(w.window.settingsHold(QStringLiteral("朗读.语音库=") + mandarin));
        w.bar().speedList()->setCurrentIndex(0);
        QVERIFY(w.window.settingsHold(QStringLiteral("朗读.语速=0")));
    }

    void saveModeSwapsTheButtons() {
        ReadingWindow w(QStringLiteral("你好"));
        w.speech().readClicked();
        w.speech().switchToSaveMode(true);
        QCOMPARE(qm::MessageBox::shown().size(), 1);
        QCOMPARE(qm::MessageBox::shown().first().text, QStringLiteral("请先停止朗读再保存！"));
        QVERIFY(!w.bar().saveMode());
        w.speech().stopClicked();
        QTRY_VERIFY(!w.speech().reading());

        w.speech().switchToSaveMode(true);
        QVERIFY(w.bar().saveMode());
        QCOMPARE(w.bar().formatList()->count(), 36);
        QCOMPARE(w.bar().formatList()->currentText(), QStringLiteral("8kHz 16位双声道"));
        QVERIFY(w.bar().readButton()->isHidden());
        QVERIFY(!w.bar().saveButton()->isHidden());
        w.bar().formatList()->setCurrentIndex(35);
        QVERIFY(w.window.settingsHold(QStringLiteral("采样率=35")));
        w.speech().switchToSaveMode(false);
        QVERIFY(!w.bar().saveMode());
        QVERIFY(!w.bar().readButton()->isHidden());
    }

    void savesAWaveFileWhileTheWindowAnswers() {
        ReadingWindow w(QStringLiteral("今天天气很好，我们去公园散步吧。\r\n明天也去。"));
        qm::testing::TempDir dir;
        const QString path = QString::fromStdString(dir.File("朗读.wav"));
        w.speech().switchToSaveMode(true);
        w.bar().formatList()->setCurrentIndex(35);
        qm::FileDialog::setNextFileName(path);
        int answered = 0;
        QTimer beat;
        QObject::connect(&beat, &QTimer::timeout, [&] { ++answered; });
        beat.start(1);
        QSignalSpy ended(&w.speech(), &SpeechReading::saveEnded);
        QVERIFY(w.speech().saveClicked());
        QVERIFY(w.speech().saving());
        QVERIFY(ended.wait(30000));
        QCOMPARE(ended.first().first().toBool(), true);
        QVERIFY2(answered > 0, "the window answered while the file was written");
        QCOMPARE(w.bar().saveButton()->text(), QStringLiteral("保存完成！"));
        QTRY_COMPARE(w.bar().saveButton()->text(), QStringLiteral("保存到wav"));

        SF_INFO info{};
        SNDFILE* file = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
        QVERIFY(file != nullptr);
        std::vector<short> frames(static_cast<size_t>(info.frames * info.channels));
        sf_readf_short(file, frames.data(), info.frames);
        sf_close(file);
        QCOMPARE(info.samplerate, 48000);
        QCOMPARE(info.channels, 2);
        QCOMPARE(info.format & SF_FORMAT_SUBMASK, SF_FORMAT_PCM_16);
        QVERIFY(info.frames > 48000);  // well over a second of speech
        short peak = 0;
        for (short s : frames) peak = std::max<short>(peak, static_cast<short>(std::abs(s)));
        QVERIFY2(peak > 3000, "not silent");
    }

    void failedSaveNamesTheFile() {
        ReadingWindow w(QStringLiteral("你好"));
        w.speech().switchToSaveMode(true);
        const QString path = QStringLiteral("/nonexistent-qm-folder/x.wav");
        qm::FileDialog::setNextFileName(path);
        QSignalSpy ended(&w.speech(), &SpeechReading::saveEnded);
        w.speech().saveClicked();
        QVERIFY(ended.count() == 1 || ended.wait(10000));
        QCOMPARE(ended.first().first().toBool(), false);
        QCOMPARE(qm::MessageBox::shown().size(), 1);
        QCOMPARE(qm::MessageBox::shown().first().text, QStringLiteral("保存失败！") + path);
        QCOMPARE(w.bar().saveButton()->text(), QStringLiteral("保存到wav"));
    }
};

QTEST_MAIN(SpeechReadingTest)
#include "speech_reading_test.moc"
