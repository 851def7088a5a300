// Ties the font panel to the settings file: restored at start-up, stored at every change.
#pragma once

namespace qm {

class FontBar;
class SettingsStore;

// Restores the panel from "编辑框.字体名称", "编辑框.加粗" and "编辑框.字体大小" in the
// store's current section (the main window's, set before the first read) and applies it,
// which writes the three keys back; from then on every application of the panel writes
// them. `store` must outlive `bar`.
void BindFontBarToSettings(FontBar& bar, SettingsStore& store);

}  // namespace qm
