#include "app/calculator/calculator_button.h"

#include <QAction>
#include <QIcon>

#include "app/frame/main_tool_bar.h"
#include "editor/calculator_keys.h"
#include "tools/calculator/calculator.h"

namespace qm {

const char* const CalculatorButton::kCaption = "计算";
const char* const CalculatorButton::kToolTip =
    "让编辑框支持回车或=号进行运算：加减乘除余数整除次方平方根";

CalculatorButton::CalculatorButton(MainToolBar* toolBar, NoteEditor* editor, QObject* parent)
    : QObject(parent),
      calculator_(std::make_unique<Calculator>()),
      keys_(new CalculatorKeys(*editor, *calculator_, this)),
      button_(toolBar->addButton(kButton, QString::fromUtf8(kCaption), QString::fromUtf8(kToolTip),
                                 true,
                                 QIcon::fromTheme(QStringLiteral("accessories-calculator")))) {
    if (button_ == nullptr) return;
    button_->setObjectName(QString::fromUtf8(kCaption));
    // The window sets the check state (a click, or the stored state at start-up).
    connect(button_, &QAction::toggled, keys_, &CalculatorKeys::setEnabled);
    keys_->setEnabled(button_->isChecked());
}

CalculatorButton::~CalculatorButton() = default;

}  // namespace qm
