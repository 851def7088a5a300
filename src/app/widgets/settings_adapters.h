// The Qt side of the settings store: check marks of menu entries (key = the caption), check
// boxes (key = the control's name) and the placement of a window. Keys go into the store's
// current section; callers set it ("主界面") first.
#pragma once

#include <QString>

#include "settings/settings_store.h"

class QAction;
class QCheckBox;
class QWidget;

namespace qm {

// Makes "主界面" the store's current section, as every read and write of the window expects.
void UseMainSection(SettingsStore& store);

// Writes the entry's check mark under its caption. Returns what the store's write returns.
bool saveMenuCheck(SettingsStore& store, const QAction* action);
// Sets the check mark from the stored value; a missing key leaves the mark as it is.
void restoreMenuCheck(const SettingsStore& store, QAction* action);

// The same for a check box, keyed by its objectName.
bool saveCheckBox(SettingsStore& store, const QCheckBox* box);
void restoreCheckBox(const SettingsStore& store, QCheckBox* box);

// A window's placement: state 0 normal, 1 minimized, 2 maximized; the frame is the window's
// position and its client size (what move() and resize() take back).
WindowPlacement PlacementOf(const QWidget* window);
// Applies the state first, then the frame unless the state is maximized.
void ApplyPlacement(QWidget* window, const WindowPlacement& placement);

// Into / from section `base` + ".尺寸"; an empty base means "主界面".
void saveWindowPlacement(SettingsStore& store, const QWidget* window, const QString& base = {});
void restoreWindowPlacement(const SettingsStore& store, QWidget* window, const QString& base = {});

}  // namespace qm
