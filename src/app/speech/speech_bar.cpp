#include "app/speech/speech_bar.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QSlider>

namespace qm {

void VoiceList::showPopup() {
    emit fillRequested();
    QComboBox::showPopup();
}

void VoiceList::focusInEvent(QFocusEvent* event) {
    emit fillRequested();
    QComboBox::focusInEvent(event);
}

void VoiceList::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F5) {
        emit refillRequested();
        return;
    }
    QComboBox::keyPressEvent(event);
}

SpeechBar::SpeechBar(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("语音朗读工具条"));
    setAutoFillBackground(true);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(2, 1, 2, 1);
    row->setSpacing(6);

    auto button = [this](const char* name, const char* caption) {
        auto* b = new QPushButton(QString::fromUtf8(caption), this);
        b->setObjectName(QString::fromUtf8(name));
        b->setAutoDefault(false);
        b->setContextMenuPolicy(Qt::CustomContextMenu);
        return b;
    };
    read_ = button("按钮朗读", "朗读");
    stop_ = button("按钮朗读停止", "停止");
    stop_->setEnabled(false);
    save_ = button("按钮保存", "保存到wav");
    formats_ = new QComboBox(this);
    formats_->setObjectName(QStringLiteral("组合框采样率"));
    voices_ = new VoiceList(this);
    voices_->setObjectName(QStringLiteral("组合框语音库"));
    voices_->setMinimumWidth(160);
    voices_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    speed_ = new QComboBox(this);
    speed_->setObjectName(QStringLiteral("组合框语速"));
    for (const char* item : {"很慢语速", "稍慢语速", "正常语速", "稍快语速", "很快语速"}) {
        speed_->addItem(QString::fromUtf8(item));
    }
    speed_->setCurrentIndex(kDefaultSpeed);
    volume_ = new QSlider(Qt::Horizontal, this);
    volume_->setObjectName(QStringLiteral("滑块条音量"));
    volume_->setRange(0, 100);
    volume_->setValue(100);
    volume_->setMaximumWidth(120);

    // "保存到wav" stands where "朗读" stands, the format list where "停止" stands.
    row->addWidget(read_);
    row->addWidget(save_);
    row->addWidget(stop_);
    row->addWidget(formats_);
    row->addWidget(voices_, 1);
    row->addWidget(speed_);
    row->addWidget(volume_);
    setSaveMode(false);

    connect(read_, &QWidget::customContextMenuRequested, this, &SpeechBar::readRightClicked);
    connect(save_, &QWidget::customContextMenuRequested, this, &SpeechBar::saveRightClicked);
}

void SpeechBar::setSaveMode(bool on) {
    read_->setVisible(!on);
    stop_->setVisible(!on);
    save_->setVisible(on);
    formats_->setVisible(on);
}

bool SpeechBar::saveMode() const { return !save_->isHidden(); }

}  // namespace qm
