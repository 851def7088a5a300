// Every key the program keeps in the settings file, with its type and the value a read falls
// back to, so that no key is spelled twice. Names are UTF-8 literals here; SettingsStore takes
// GB18030, which Gb() and the Read/Write helpers below convert to.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qm {

class SettingsStore;

namespace settings {

// The section of every key below except the window placement, which lives in
// section base + kPlacementSuffix ("主界面.尺寸" for the main window).
inline constexpr std::string_view kMainSection = "主界面";
inline constexpr std::string_view kPlacementSuffix = ".尺寸";

// A fallback of std::nullopt means "the control's current value": a missing key then leaves
// the control as it is, so the caller passes that value to Read.
struct TextSetting {
    std::string_view key;
    std::optional<std::string_view> fallback;
    bool raw = false;  // written unchanged, CR LF and all (no "┊*┊" conversion)
};
struct NumberSetting {
    std::string_view key;
    std::optional<double> fallback;
};
struct BoolSetting {
    std::string_view key;
    std::optional<bool> fallback;
};

// Editor font and links.
inline constexpr TextSetting kEditorFontName{"编辑框.字体名称", "宋体"};
inline constexpr BoolSetting kEditorFontBold{"编辑框.加粗", false};
inline constexpr NumberSetting kEditorFontSize{"编辑框.字体大小", 11};
inline constexpr NumberSetting kLinkAction{"链接动作", 1};
inline constexpr BoolSetting kHighlightLinks{"高亮链接", std::nullopt};  // menu check

// Tool bars: one bool per toolbar button, key = kToolbarVisiblePrefix + button index.
inline constexpr std::string_view kToolbarVisiblePrefix = "工具条显示.";
inline constexpr int kToolbarButtons[] = {2, 8, 9, 10, 11, 13};
inline constexpr bool kToolbarVisibleFallback = false;

// Tree, saves and backups.
inline constexpr NumberSetting kSelectedTreeItem{"树型框选中项", 0};
inline constexpr NumberSetting kSaveCounter{"当前保存序号", 0};
inline constexpr NumberSetting kSavesPerBackup{"触发备份的保存数", 10};
inline constexpr NumberSetting kBackupsKept{"保持备份数", 10};
inline constexpr TextSetting kPathHistory{"历史路径组", "", true};

// Search: history, the query and its check boxes (keys = the check boxes' names).
inline constexpr TextSetting kSearchHistory{"查找历史", ""};
inline constexpr TextSetting kSearchText{"查找内容", std::nullopt};
inline constexpr BoolSetting kSearchIgnoreCase{"选择框忽略大小写", std::nullopt};
inline constexpr BoolSetting kSearchUseRegex{"选择框使用正则", std::nullopt};
inline constexpr BoolSetting kSearchWholeText{"选择框完整匹配", std::nullopt};
inline constexpr BoolSetting kSearchBodies{"选择框同时查找内容", std::nullopt};

// Window layout and the tray menu's check marks (keys = the menu captions).
inline constexpr NumberSetting kSplitterLeft{"分隔条左边", std::nullopt};
inline constexpr BoolSetting kAlwaysOnTop{"钉在最前显示", std::nullopt};
inline constexpr BoolSetting kRememberWindowSize{"记住窗口尺寸", std::nullopt};
inline constexpr BoolSetting kStartWithSystem{"开机启动本软件", std::nullopt};
inline constexpr BoolSetting kCloseToTray{"关闭窗口到托盘", std::nullopt};
inline constexpr BoolSetting kShowPathBar{"显示路径栏", std::nullopt};

// Speech.
inline constexpr TextSetting kSpeechVoice{"朗读.语音库", ""};
inline constexpr NumberSetting kSpeechRate{"朗读.语速", std::nullopt};
inline constexpr NumberSetting kSpeechVolume{"朗读.音量", 100};
inline constexpr NumberSetting kSampleRate{"采样率", 3};

// Window placement, in section base + kPlacementSuffix (SettingsStore::savePlacement).
inline constexpr NumberSetting kPlacementState{"位置", std::nullopt};
inline constexpr NumberSetting kPlacementLeft{"左边", std::nullopt};
inline constexpr NumberSetting kPlacementTop{"顶边", std::nullopt};
inline constexpr NumberSetting kPlacementWidth{"宽度", std::nullopt};
inline constexpr NumberSetting kPlacementHeight{"高度", std::nullopt};

// Every key above, for checks over the whole table. A toolbar entry stands for its family.
enum class SettingType { kText, kRawText, kNumber, kBool };
struct SettingInfo {
    std::string_view key;
    SettingType type;
    bool placement;  // in the placement section rather than kMainSection
};
constexpr SettingInfo Info(const TextSetting& s, bool placement = false) {
    return {s.key, s.raw ? SettingType::kRawText : SettingType::kText, placement};
}
constexpr SettingInfo Info(const NumberSetting& s, bool placement = false) {
    return {s.key, SettingType::kNumber, placement};
}
constexpr SettingInfo Info(const BoolSetting& s, bool placement = false) {
    return {s.key, SettingType::kBool, placement};
}
inline constexpr SettingInfo kAllSettings[] = {
    Info(kEditorFontName),       Info(kEditorFontBold),
    Info(kEditorFontSize),       Info(kLinkAction),
    Info(kHighlightLinks),       {kToolbarVisiblePrefix, SettingType::kBool, false},
    Info(kSelectedTreeItem),     Info(kSaveCounter),
    Info(kSavesPerBackup),       Info(kBackupsKept),
    Info(kPathHistory),          Info(kSearchHistory),
    Info(kSearchText),           Info(kSearchIgnoreCase),
    Info(kSearchUseRegex),       Info(kSearchWholeText),
    Info(kSearchBodies),         Info(kSplitterLeft),
    Info(kAlwaysOnTop),          Info(kRememberWindowSize),
    Info(kStartWithSystem),      Info(kCloseToTray),
    Info(kShowPathBar),          Info(kSpeechVoice),
    Info(kSpeechRate),           Info(kSpeechVolume),
    Info(kSampleRate),           Info(kPlacementState, true),
    Info(kPlacementLeft, true),  Info(kPlacementTop, true),
    Info(kPlacementWidth, true), Info(kPlacementHeight, true),
};

// The GB18030 bytes of a UTF-8 name.
std::string Gb(std::string_view utf8);

// The GB18030 key of toolbar button `button`: "工具条显示." + the index.
std::string ToolbarVisibleKey(int button);

// Read a setting in the store's current section (kMainSection for every caller). `current`
// is the control's value: the result when the key is missing and the setting's fallback is
// the current value; ignored for settings with a fixed fallback. Texts are GB18030; a raw
// text setting is read as stored.
std::string Read(const SettingsStore& store, const TextSetting& setting,
                 std::string_view current = {});
double Read(const SettingsStore& store, const NumberSetting& setting, double current = 0);
bool Read(const SettingsStore& store, const BoolSetting& setting, bool current = false);

// Write a setting into the store's current section; a raw text setting is written unchanged.
// Return what the store's write returns.
bool Write(SettingsStore& store, const TextSetting& setting, std::string_view text);
bool Write(SettingsStore& store, const NumberSetting& setting, double value);
bool Write(SettingsStore& store, const BoolSetting& setting, bool value);

}  // namespace settings
}  // namespace qm
