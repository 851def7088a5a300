// The reading bar: "朗读" (start, then pause and resume; a right click switches to saving),
// "停止", the voice list, the speed list, the volume slider and, in save mode, the WAV format
// list with "保存到wav" standing where "停止" and "朗读" stand in reading mode.
#pragma once

#include <QComboBox>
#include <QWidget>

class QPushButton;
class QSlider;

namespace qm {

// The voice list: asks to be filled when it gets the focus or opens while it is not filled,
// and to be refilled on F5.
class VoiceList : public QComboBox {
    Q_OBJECT
public:
    using QComboBox::QComboBox;
    void showPopup() override;

signals:
    void fillRequested();
    void refillRequested();

protected:
    void focusInEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

class SpeechBar : public QWidget {
    Q_OBJECT
public:
    static constexpr int kHeight = 26;
    // The speed items and the engine rate each sets.
    static constexpr int kRates[] = {-5, -2, 0, 2, 5};
    static constexpr int kDefaultSpeed = 1;  // "稍慢语速"

    explicit SpeechBar(QWidget* parent = nullptr);

    // Shows the format list and "保存到wav" (true) or "朗读" and "停止" (false).
    void setSaveMode(bool on);
    bool saveMode() const;

    QPushButton* readButton() const { return read_; }
    QPushButton* stopButton() const { return stop_; }
    VoiceList* voiceList() const { return voices_; }
    QComboBox* speedList() const { return speed_; }
    QSlider* volumeSlider() const { return volume_; }
    QComboBox* formatList() const { return formats_; }
    QPushButton* saveButton() const { return save_; }

signals:
    void readRightClicked();
    void saveRightClicked();

private:
    QPushButton* read_;
    QPushButton* stop_;
    VoiceList* voices_;
    QComboBox* speed_;
    QSlider* volume_;
    QComboBox* formats_;
    QPushButton* save_;
};

}  // namespace qm
