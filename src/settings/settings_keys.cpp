#include "settings/settings_keys.h"

#include "common/charset.h"
#include "settings/settings_store.h"

namespace qm::settings {

std::string Gb(std::string_view utf8) { return Utf8ToGb18030(utf8); }

std::string ToolbarVisibleKey(int button) {
    return Gb(kToolbarVisiblePrefix) + std::to_string(button);
}

std::string Read(const SettingsStore& store, const TextSetting& setting, std::string_view current) {
    std::string fallback = setting.fallback ? Gb(*setting.fallback) : std::string(current);
    if (setting.raw) return store.readValue(store.section(), Gb(setting.key)).value_or(fallback);
    return store.readText(Gb(setting.key), fallback);
}

double Read(const SettingsStore& store, const NumberSetting& setting, double current) {
    return store.readNumber(Gb(setting.key), setting.fallback.value_or(current));
}

bool Read(const SettingsStore& store, const BoolSetting& setting, bool current) {
    return store.readBool(Gb(setting.key), setting.fallback.value_or(current));
}

bool Write(SettingsStore& store, const TextSetting& setting, std::string_view text) {
    if (setting.raw) return store.writeValue(store.section(), Gb(setting.key), text);
    return store.writeText(Gb(setting.key), text);
}

bool Write(SettingsStore& store, const NumberSetting& setting, double value) {
    return store.writeNumber(Gb(setting.key), value);
}

bool Write(SettingsStore& store, const BoolSetting& setting, bool value) {
    return store.writeBool(Gb(setting.key), value);
}

}  // namespace qm::settings
