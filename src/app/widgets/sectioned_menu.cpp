#include "app/widgets/sectioned_menu.h"

#include <QAction>
#include <QMenu>

namespace qm {

SectionedMenu::SectionedMenu(const QString& objectName, int sectionCount, QWidget* parent)
    : menu_(new QMenu(parent)) {
    menu_->setObjectName(objectName);
    for (int i = 0; i < sectionCount; ++i) {
        // Every section starts with its separator; empty sections keep theirs hidden, so the
        // insertion point of each section is always there.
        QAction* separator = menu_->addSeparator();
        separator->setVisible(false);
        sections_.push_back({separator, {}});
    }
}

SectionedMenu::~SectionedMenu() = default;

QAction* SectionedMenu::addEntry(int section, const QString& key, Command command,
                                 EnableRule enabled, CaptionRule caption) {
    if (section < 0 || section >= static_cast<int>(sections_.size()) || entry(key) != nullptr) {
        return nullptr;
    }
    const size_t next = static_cast<size_t>(section) + 1;
    QAction* before = next < sections_.size() ? sections_[next].separator : nullptr;
    auto* action = new QAction(key, menu_);
    menu_->insertAction(before, action);
    if (command) QObject::connect(action, &QAction::triggered, menu_, std::move(command));
    sections_[static_cast<size_t>(section)].actions.push_back(action);
    entries_.push_back({key, action, std::move(enabled), std::move(caption)});
    updateSeparators();
    return action;
}

QAction* SectionedMenu::entry(const QString& key) const {
    for (const Entry& e : entries_) {
        if (e.key == key) return e.action;
    }
    return nullptr;
}

void SectionedMenu::refresh() {
    for (const Entry& e : entries_) {
        if (e.enabled) e.action->setEnabled(e.enabled());
        if (e.caption) e.action->setText(e.caption());
    }
}

void SectionedMenu::updateSeparators() {
    bool entriesBefore = false;
    for (Section& section : sections_) {
        const bool filled = !section.actions.empty();
        section.separator->setVisible(filled && entriesBefore);
        entriesBefore = entriesBefore || filled;
    }
}

}  // namespace qm
