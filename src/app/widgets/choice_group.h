// A group of checkable menu entries that each stand for a number. Radio-like groups may end
// with no entry checked (the backup entries); radio groups always keep the clicked one.
#pragma once

#include <QObject>
#include <QVector>

class QAction;

namespace qm {

class ChoiceGroup : public QObject {
    Q_OBJECT
public:
    enum class Mode {
        kToggle,  // a click toggles the entry; checking it unchecks the others
        kRadio,   // a click checks exactly the clicked entry
    };

    ChoiceGroup(Mode mode, QObject* parent = nullptr);

    // Entries are listed in priority order: when several are checked the first one wins.
    void add(QAction* action, int value);

    // The number of the first checked entry; 0 when none is checked.
    int value() const;
    // Checks the entry of `value` and no other; a value without an entry checks none.
    void setValue(int value);

    const QVector<QAction*>& actions() const { return actions_; }

signals:
    // After a click changed the marks: the group's number.
    void valueChosen(int value);

private:
    void onTriggered(QAction* action);

    Mode mode_;
    QVector<QAction*> actions_;
    QVector<int> values_;
};

}  // namespace qm
