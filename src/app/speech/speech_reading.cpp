#include "app/speech/speech_reading.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QSlider>

#include "app/frame/main_tool_bar.h"
#include "app/frame/window_layout.h"
#include "app/notes/note_session.h"
#include "app/speech/speech_bar.h"
#include "app/speech/speech_voice.h"
#include "app/widgets/file_dialog.h"
#include "app/widgets/message_box.h"
#include "app/widgets/settings_adapters.h"
#include "common/charset.h"
#include "common/qt_text.h"
#include "editor/note_editor.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"
#include "tools/speech/wave_format.h"
#include "tools/speech/word_span.h"

namespace qm {

namespace {
const char* const kReadCaption = "朗读";
const char* const kPauseCaption = "暂停";
const char* const kResumeCaption = "继续";
const char* const kSaveCaption = "保存到wav";
const char* const kSavingCaption = "正在保存..";
const char* const kSavedCaption = "保存完成！";
}  // namespace

SpeechReading::SpeechReading(MainToolBar* toolBar, WindowLayout& layout, QWidget* clientArea,
                             NoteSession* session, SettingsStore* settings,
                             std::function<SpeechEngine*()> engine, QObject* parent)
    : QObject(parent),
      session_(session),
      settings_(settings),
      bar_(new SpeechBar(clientArea)),
      voice_(new SpeechVoice(std::move(engine), this)) {
    bar_->hide();
    WindowLayout::Bar bar;
    bar.button = kToolBarButton;
    bar.widget = bar_;
    bar.height = SpeechBar::kHeight;
    bar.order = kToolBarButton;
    layout.addBar(bar);
    toolBar->addButton(kToolBarButton, QStringLiteral("朗读"), QStringLiteral("语音朗读工具条"),
                       true);
    timer_.setInterval(kTickMs);
    connect(&timer_, &QTimer::timeout, this, &SpeechReading::tick);
    restore();

    connect(bar_->readButton(), &QPushButton::clicked, this, &SpeechReading::readClicked);
    connect(bar_->stopButton(), &QPushButton::clicked, this, &SpeechReading::stopClicked);
    connect(bar_->saveButton(), &QPushButton::clicked, this, &SpeechReading::saveClicked);
    connect(bar_, &SpeechBar::readRightClicked, this, [this] { switchToSaveMode(true); });
    connect(bar_, &SpeechBar::saveRightClicked, this, [this] { switchToSaveMode(false); });
    connect(bar_->voiceList(), &VoiceList::fillRequested, this, [this] {
        if (!voicesListed_) fillVoiceList();
    });
    connect(bar_->voiceList(), &VoiceList::refillRequested, this, [this] {
        voice_->recreate();
        fillVoiceList();
    });
    connect(bar_->voiceList(), &QComboBox::activated, this, [this] {
        UseMainSection(*settings_);
        settings::Write(*settings_, settings::kSpeechVoice, ToGb(bar_->voiceList()->currentText()));
    });
    connect(bar_->speedList(), &QComboBox::currentIndexChanged, this, [this](int index) {
        UseMainSection(*settings_);
        settings::Write(*settings_, settings::kSpeechRate, index);
        if (reading() && index >= 0) voice_->setRate(SpeechBar::kRates[index]);
    });
    connect(bar_->volumeSlider(), &QSlider::valueChanged, this, [this](int value) {
        UseMainSection(*settings_);
        settings::Write(*settings_, settings::kSpeechVolume, value);
        if (reading()) voice_->setVolume(value);
    });
    connect(bar_->formatList(), &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!formatsListed_ || index < 0) return;
        UseMainSection(*settings_);
        settings::Write(*settings_, settings::kSampleRate, index);
    });
    connect(voice_, &SpeechVoice::saveFinished, this, &SpeechReading::saveFinished);

    // Reading belongs to the note it started in.
    connect(session_, &NoteSession::noteLoading, this, &SpeechReading::abandonReading);
    connect(session_->editor(), &NoteEditor::textModified, this, &SpeechReading::abandonReading);
}

SpeechReading::~SpeechReading() = default;

void SpeechReading::restore() {
    UseMainSection(*settings_);
    const QString voice = FromGb(settings::Read(*settings_, settings::kSpeechVoice));
    // The list is filled from the engine when first needed; until then it shows the choice.
    if (!voice.isEmpty()) bar_->voiceList()->addItem(voice);
    const int speed = static_cast<int>(
        settings::Read(*settings_, settings::kSpeechRate, bar_->speedList()->currentIndex()));
    if (speed >= 0 && speed < bar_->speedList()->count()) bar_->speedList()->setCurrentIndex(speed);
    const int volume = static_cast<int>(settings::Read(*settings_, settings::kSpeechVolume));
    bar_->volumeSlider()->setValue(volume);
}

bool SpeechReading::reading() const {
    return bar_->readButton()->text() != QString::fromUtf8(kReadCaption);
}

bool SpeechReading::saving() const { return voice_->saving(); }

void SpeechReading::fillVoiceList() {
    VoiceList* list = bar_->voiceList();
    const QString remembered = list->currentText();
    list->clear();
    const QStringList voices = voice_->listVoices();
    list->addItems(voices);
    voicesListed_ = true;
    // A voice this system lacks gives way to the first one, the Mandarin voice.
    const QString chosen =
        voices.contains(remembered) ? remembered : (voices.isEmpty() ? QString() : voices.first());
    list->setCurrentIndex(list->findText(chosen));
    UseMainSection(*settings_);
    settings::Write(*settings_, settings::kSpeechVoice, ToGb(chosen));
}

bool SpeechReading::prepareVoice() {
    if (!voicesListed_) fillVoiceList();
    VoiceList* list = bar_->voiceList();
    QString text = list->currentText();
    if (text.isEmpty()) {
        fillVoiceList();
        text = list->currentText();
    }
    if (text.isEmpty()) {
        MessageBox::warning(bar_->window(),
                            QStringLiteral("请先选择一个语音库！如果没有语音库请安装语音库，"
                                           "百度搜 TTS中文语音库"));
        list->setFocus();
        return false;
    }
    if (!voice_->selectVoice(text)) {
        MessageBox::warning(bar_->window(), QStringLiteral("设置语音库失败！") + text);
        return false;
    }
    voice_->setVolume(bar_->volumeSlider()->value());
    const int speed = bar_->speedList()->currentIndex();
    voice_->setRate(speed >= 0 ? SpeechBar::kRates[speed] : 0);
    return true;
}

void SpeechReading::readClicked() {
    QPushButton* button = bar_->readButton();
    if (button->text() == QString::fromUtf8(kPauseCaption)) {
        button->setText(QString::fromUtf8(kResumeCaption));
        voice_->pause();
        return;
    }
    if (button->text() == QString::fromUtf8(kResumeCaption)) {
        button->setText(QString::fromUtf8(kPauseCaption));
        voice_->resume();
        return;
    }
    if (!prepareVoice()) return;
    NoteEditor* editor = session_->editor();
    std::string text = editor->selectedText();
    readBase_ = editor->selectionStart();
    readLength_ = editor->selectionLength();
    if (text.empty()) {
        text = editor->getText();
        readBase_ = 0;
    }
    lastWordPosition_ = 0;
    lastWordLength_ = 0;
    const std::string utf8 = Gb18030ToUtf8(text);
    if (!voice_->speak(utf8)) {
        MessageBox::warning(bar_->window(), voice_->lastError());
        return;
    }
    button->setText(QString::fromUtf8(kPauseCaption));
    bar_->stopButton()->setEnabled(true);
    speechText_ = utf8;
    timer_.start();
}

void SpeechReading::tick() {
    int position = 0;
    int length = 0;
    if (!voice_->getWordStatus(&position, &length)) {
        endReading(true);
        return;
    }
    if (position == lastWordPosition_ && length == lastWordLength_) return;
    lastWordPosition_ = position;
    lastWordLength_ = length;
    const ByteSpan span = Utf8SpanOfChars(speechText_, position, length);
    session_->editor()->showRange(readBase_ + span.start, span.length);
}

void SpeechReading::endReading(bool restoreSelection) {
    timer_.stop();
    bar_->stopButton()->setEnabled(false);
    bar_->readButton()->setText(QString::fromUtf8(kReadCaption));
    if (restoreSelection) session_->editor()->showRange(readBase_, readLength_);
    speechText_.clear();
    voice_->recreate();
    emit readingEnded();
}

void SpeechReading::abandonReading() {
    if (!reading()) return;
    endReading(false);
}

void SpeechReading::stopClicked() { voice_->recreate(); }

void SpeechReading::switchToSaveMode(bool on) {
    if (!on) {
        if (!saving()) bar_->setSaveMode(false);
        return;
    }
    if (reading()) {
        MessageBox::warning(bar_->window(), QStringLiteral("请先停止朗读再保存！"));
        return;
    }
    if (!formatsListed_) {
        QComboBox* formats = bar_->formatList();
        formats->addItems(
            QString::fromStdString(WaveFormatCaptions()).split(QStringLiteral("\r\n")));
        UseMainSection(*settings_);
        const int item = static_cast<int>(settings::Read(*settings_, settings::kSampleRate));
        formats->setCurrentIndex(item >= 0 && item < kWaveFormatCount ? item : kDefaultWaveFormat);
        formatsListed_ = true;
    }
    bar_->setSaveMode(true);
}

bool SpeechReading::saveClicked() {
    if (saving()) return false;
    const QString path = FileDialog::getSaveFileName(
        bar_->window(), QStringLiteral("将朗读的声音保存到文件："), QDir::currentPath(),
        QStringLiteral("wav音频 (*.wav);;全部文件 (*)"));
    if (path.isEmpty()) return false;
    if (!prepareVoice()) return false;
    NoteEditor* editor = session_->editor();
    std::string text = editor->selectedText();
    if (text.empty()) text = editor->getText();
    savePath_ = path;
    if (!voice_->startSaving(Gb18030ToUtf8(text), bar_->formatList()->currentIndex(),
                             QFile::encodeName(path).toStdString())) {
        saveFinished(false);
        return false;
    }
    bar_->saveButton()->setText(QString::fromUtf8(kSavingCaption));
    bar_->saveButton()->setEnabled(false);
    return true;
}

void SpeechReading::saveFinished(bool ok) {
    QPushButton* button = bar_->saveButton();
    button->setEnabled(true);
    if (ok) {
        button->setText(QString::fromUtf8(kSavedCaption));
        QTimer::singleShot(kSavedCaptionMs, button,
                           [button] { button->setText(QString::fromUtf8(kSaveCaption)); });
    } else {
        button->setText(QString::fromUtf8(kSaveCaption));
        MessageBox::warning(bar_->window(), QStringLiteral("保存失败！") + savePath_);
    }
    emit saveEnded(ok);
}

}  // namespace qm
