#include "app/widgets/settings_adapters.h"

#include <QAction>
#include <QCheckBox>
#include <QWidget>

#include "common/qt_text.h"
#include "settings/settings_keys.h"

namespace qm {

namespace {

std::string SectionBase(const QString& base) {
    return base.isEmpty() ? settings::Gb(settings::kMainSection) : ToGb(base);
}

}  // namespace

void UseMainSection(SettingsStore& store) {
    store.setSection(settings::Gb(settings::kMainSection));
}

bool saveMenuCheck(SettingsStore& store, const QAction* action) {
    return store.writeBool(ToGb(action->text()), action->isChecked());
}

void restoreMenuCheck(const SettingsStore& store, QAction* action) {
    action->setChecked(store.readBool(ToGb(action->text()), action->isChecked()));
}

bool saveCheckBox(SettingsStore& store, const QCheckBox* box) {
    return store.writeBool(ToGb(box->objectName()), box->isChecked());
}

void restoreCheckBox(const SettingsStore& store, QCheckBox* box) {
    box->setChecked(store.readBool(ToGb(box->objectName()), box->isChecked()));
}

WindowPlacement PlacementOf(const QWidget* window) {
    WindowPlacement placement;
    const Qt::WindowStates states = window->windowState();
    placement.state = states.testFlag(Qt::WindowMinimized)   ? 1
                      : states.testFlag(Qt::WindowMaximized) ? 2
                                                             : 0;
    placement.left = window->x();
    placement.top = window->y();
    placement.width = window->width();
    placement.height = window->height();
    return placement;
}

void ApplyPlacement(QWidget* window, const WindowPlacement& placement) {
    switch (placement.state) {
        case 1:
            window->setWindowState(Qt::WindowMinimized);
            break;
        case 2:
            window->setWindowState(Qt::WindowMaximized);
            return;
        default:
            window->setWindowState(Qt::WindowNoState);
            break;
    }
    window->move(placement.left, placement.top);
    window->resize(placement.width, placement.height);
}

void saveWindowPlacement(SettingsStore& store, const QWidget* window, const QString& base) {
    store.savePlacement(SectionBase(base), PlacementOf(window));
}

void restoreWindowPlacement(const SettingsStore& store, QWidget* window, const QString& base) {
    ApplyPlacement(window, store.restorePlacement(SectionBase(base), PlacementOf(window)));
}

}  // namespace qm
