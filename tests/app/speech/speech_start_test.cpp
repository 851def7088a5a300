// eSpeak NG starts with the reading bar's first use, not with the window: a start that never
// reads aloud does not pay for it. Its own test program, so no earlier test has started it.
#include <QtTest>

#include "app/note_window.h"
#include "app/speech/speech_bar.h"
#include "app/speech/speech_reading.h"
#include "app/window/main_window.h"
#include "tools/speech/espeak_engine.h"

using qm::SpeechReading;
using qm::testing::NoteWindow;

class SpeechStartTest : public QObject {
    Q_OBJECT
private slots:
    void engineStartsWhenTheVoiceListIsFirstUsed() {
        NoteWindow w;
        w.writeNotebook(2);
        w.writeSettings(QStringLiteral("[主界面]\r\n工具条显示.11=真\r\n朗读.语音库=没有的语音"));
        w.start();
        qm::SpeechBar& bar = *w.window().speech()->bar();
        QVERIFY(!bar.isHidden());
        QVERIFY(!qm::EspeakEngine::Started());
        // Until then the list shows the stored choice without asking the engine.
        QCOMPARE(bar.voiceList()->count(), 1);
        QCOMPARE(bar.voiceList()->currentText(), QStringLiteral("没有的语音"));

        emit bar.voiceList()->fillRequested();
        QVERIFY(qm::EspeakEngine::Started());
        QVERIFY2(qm::EspeakEngine::Instance() != nullptr, "eSpeak NG data is installed");
        QVERIFY(bar.voiceList()->count() > 1);
        // The stored voice is not here: the Mandarin voice, listed first, takes its place.
        QCOMPARE(bar.voiceList()->currentText(),
                 QString::fromStdString(qm::EspeakEngine::Instance()->MandarinVoice()));
    }
};

QTEST_MAIN(SpeechStartTest)
#include "speech_start_test.moc"
