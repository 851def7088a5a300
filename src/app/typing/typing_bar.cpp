#include "app/typing/typing_bar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/typing/typing_progress_bar.h"

namespace qm {

TypingBar::TypingBar(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("自动打字工具条"));
    setAutoFillBackground(true);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(2, 1, 2, 1);
    row->setSpacing(6);

    type_ = new QPushButton(QStringLiteral("打字"), this);
    type_->setObjectName(QStringLiteral("按钮打字"));
    type_->setAutoDefault(false);
    stop_ = new QPushButton(QStringLiteral("停止"), this);
    stop_->setObjectName(QStringLiteral("按钮打字停止"));
    stop_->setAutoDefault(false);
    stop_->setEnabled(false);
    auto* caption = new QLabel(QStringLiteral("单字每毫秒："), this);
    caption->setObjectName(QStringLiteral("标签1"));
    interval_ = new QLineEdit(QStringLiteral("200"), this);
    interval_->setObjectName(QStringLiteral("编辑框打字间歇"));
    interval_->setMaximumWidth(70);
    progress_ = new TypingProgressBar(this);

    row->addWidget(type_);
    row->addWidget(stop_);
    row->addWidget(caption);
    row->addWidget(interval_);
    row->addWidget(progress_, 1);

    connect(type_, &QPushButton::clicked, this, &TypingBar::typeRequested);
    connect(interval_, &QLineEdit::returnPressed, this, &TypingBar::typeRequested);
    connect(stop_, &QPushButton::clicked, this, &TypingBar::stopRequested);
}

}  // namespace qm
