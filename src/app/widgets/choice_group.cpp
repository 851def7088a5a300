#include "app/widgets/choice_group.h"

#include <QAction>

namespace qm {

ChoiceGroup::ChoiceGroup(Mode mode, QObject* parent) : QObject(parent), mode_(mode) {}

void ChoiceGroup::add(QAction* action, int value) {
    action->setCheckable(true);
    actions_.append(action);
    values_.append(value);
    connect(action, &QAction::triggered, this, [this, action] { onTriggered(action); });
}

int ChoiceGroup::value() const {
    for (int i = 0; i < actions_.size(); ++i) {
        if (actions_[i]->isChecked()) return values_[i];
    }
    return 0;
}

void ChoiceGroup::setValue(int value) {
    for (int i = 0; i < actions_.size(); ++i) actions_[i]->setChecked(values_[i] == value);
}

void ChoiceGroup::onTriggered(QAction* action) {
    // A checkable action has already flipped its own mark when triggered is emitted.
    if (mode_ == Mode::kRadio) action->setChecked(true);
    if (action->isChecked()) {
        for (QAction* other : actions_) {
            if (other != action) other->setChecked(false);
        }
    }
    emit valueChosen(value());
}

}  // namespace qm
