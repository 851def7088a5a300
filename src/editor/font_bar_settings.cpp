#include "editor/font_bar_settings.h"

#include <cmath>

#include "editor/font_bar.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"

namespace qm {

void BindFontBarToSettings(FontBar& bar, SettingsStore& store) {
    QObject::connect(&bar, &FontBar::applied, &bar, [&store](const FontPanelValues& values) {
        // Failed writes are not reported: the store keeps its memory copy either way.
        settings::Write(store, settings::kEditorFontName, values.name);
        settings::Write(store, settings::kEditorFontBold, values.bold);
        settings::Write(store, settings::kEditorFontSize, values.size);
    });
    FontPanelValues stored;
    stored.name = settings::Read(store, settings::kEditorFontName);
    stored.bold = settings::Read(store, settings::kEditorFontBold);
    stored.size = static_cast<int>(std::lround(settings::Read(store, settings::kEditorFontSize)));
    bar.restore(stored);
}

}  // namespace qm
