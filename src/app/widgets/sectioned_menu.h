// A popup menu made of sections in a fixed order, so that a feature added later puts its
// entries in their place without the menu being rewritten. A separator stands only between
// two sections that hold entries. Each entry may carry an enable rule and a caption rule,
// applied by refresh() right before the menu opens.
#pragma once

#include <QString>
#include <functional>
#include <vector>

class QAction;
class QMenu;
class QWidget;

namespace qm {

class SectionedMenu {
public:
    using Command = std::function<void()>;
    using EnableRule = std::function<bool()>;      // true: the entry can be chosen
    using CaptionRule = std::function<QString()>;  // the caption to show now

    // A menu named `objectName` with `sectionCount` sections, numbered from 0 in the order
    // they appear. The menu is a child of `parent`.
    SectionedMenu(const QString& objectName, int sectionCount, QWidget* parent);
    ~SectionedMenu();
    SectionedMenu(const SectionedMenu&) = delete;
    SectionedMenu& operator=(const SectionedMenu&) = delete;

    // Adds an entry at the end of `section`; `key` is its caption, and how entry() finds it
    // whatever the caption rule shows. An empty rule leaves the entry enabled, or its caption
    // as it is. Returns the entry, or nullptr (and adds nothing) when the section does not
    // exist or the key is taken.
    QAction* addEntry(int section, const QString& key, Command command, EnableRule enabled = {},
                      CaptionRule caption = {});

    // The entry added under `key`; nullptr when there is none.
    QAction* entry(const QString& key) const;

    // Applies every enable and caption rule.
    void refresh();

    QMenu* menu() const { return menu_; }

private:
    struct Entry {
        QString key;
        QAction* action;
        EnableRule enabled;
        CaptionRule caption;
    };
    struct Section {
        QAction* separator;  // stands before the section's entries
        std::vector<QAction*> actions;
    };

    // Shows a separator only with entries both before it and in its own section.
    void updateSeparators();

    QMenu* menu_;
    std::vector<Section> sections_;
    std::vector<Entry> entries_;
};

}  // namespace qm
