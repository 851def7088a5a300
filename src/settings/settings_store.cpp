#include "settings/settings_store.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "common/charset.h"
#include "common/number_text.h"
#include "settings/settings_keys.h"

namespace qm {
namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr size_t kMaxSectionAppends = 10;

// The stand-in for CR LF inside a text value. A byte search for it is safe on GB18030 text:
// a match that started on a trail byte would need 0x2A ('*') as a trail byte, which no
// multi-byte character has.
const std::string& LineBreakMark() {
    static const std::string mark = Utf8ToGb18030("┊*┊");
    return mark;
}
const std::string& TrueText() {
    static const std::string text = Utf8ToGb18030("真");
    return text;
}
const std::string& FalseText() {
    static const std::string text = Utf8ToGb18030("假");
    return text;
}

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
    std::string out;
    size_t start = 0;
    for (size_t hit = text.find(from); hit != std::string_view::npos;
         hit = text.find(from, start)) {
        out.append(text, start, hit - start).append(to);
        start = hit + from.size();
    }
    return out.append(text, start, std::string_view::npos);
}

bool AtLineStart(const std::string& buffer, size_t pos) {
    return pos == 0 || (pos >= 2 && buffer.compare(pos - 2, 2, kCrLf) == 0);
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The decimal number at the start of `text` (spaces and tabs before it allowed), parsed
// without the C locale's help: the GUI sets the user's locale, whose decimal point may be
// a comma.
double LeadingNumber(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    if (i < text.size() && text[i] == '+') ++i;  // from_chars takes '-' but not '+'
    const size_t start = i;
    if (i < text.size() && text[i] == '-') ++i;
    size_t digits = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i) ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        for (; i < text.size() && IsDigit(text[i]); ++i) ++digits;
    }
    if (digits == 0) return 0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
        if (j < text.size() && IsDigit(text[j])) {
            while (j < text.size() && IsDigit(text[j])) ++j;
            i = j;
        }
    }
    double value = 0;
    const std::from_chars_result result =
        std::from_chars(text.data() + start, text.data() + i, value);
    return result.ec == std::errc() ? value : 0;
}

int RoundToInt(double value) {
    constexpr double kMin = std::numeric_limits<int>::min();
    constexpr double kMax = std::numeric_limits<int>::max();
    return static_cast<int>(std::lround(std::fmin(std::fmax(value, kMin), kMax)));
}

// Offset of the CR LF that starts the first header line at or after `from`, or npos. A
// header line is a line that begins with "[" and ends with "]", the end being CR LF or the
// end of the buffer.
size_t FindHeaderLine(const std::string& buffer, size_t from) {
    size_t pos = buffer.find("\r\n[", from);
    while (pos != std::string::npos) {
        size_t line_end = buffer.find(kCrLf, pos + 2);
        if (line_end == std::string::npos) line_end = buffer.size();
        if (line_end - 1 > pos + 2 && buffer[line_end - 1] == ']') return pos;
        pos = buffer.find("\r\n[", line_end);
    }
    return std::string::npos;
}

std::string PlacementSection(std::string_view section_base) {
    std::string section(section_base.empty() ? settings::Gb(settings::kMainSection)
                                             : std::string(section_base));
    return section + settings::Gb(settings::kPlacementSuffix);
}

}  // namespace

bool SettingsStore::open(const std::string& path) {
    cached_span_.reset();
    return file_.Open(path) == JournaledFile::OpenResult::kWritable;
}

std::optional<SettingsStore::SectionSpan> SettingsStore::findSection(
    std::string_view section) const {
    if (!unmatchable_section_.empty() && section == unmatchable_section_) return std::nullopt;
    if (cached_span_ && cached_name_ == section) return cached_span_;

    const std::string& buffer = file_.data();
    std::string header;
    header.reserve(section.size() + 2);
    header.append("[").append(section).append("]");
    // A hit that does not start a line is part of a value or of garbage; the header may
    // still follow, even overlapping that hit.
    for (size_t hit = buffer.find(header); hit != std::string::npos;
         hit = buffer.find(header, hit + 1)) {
        if (!AtLineStart(buffer, hit)) continue;
        cached_name_ = section;
        cached_span_ = SectionSpan{hit, hit + header.size() - 1};
        return cached_span_;
    }
    return std::nullopt;
}

std::optional<std::string> SettingsStore::readValue(std::string_view section,
                                                    std::string_view key) const {
    const std::optional<SectionSpan> span = findSection(section);
    if (!span) return std::nullopt;
    const std::string& buffer = file_.data();
    std::string needle;
    needle.append(kCrLf).append(key).append("=");
    const size_t hit = buffer.find(needle, span->close);
    if (hit == std::string::npos || hit >= FindHeaderLine(buffer, span->close)) {
        return std::nullopt;
    }
    const size_t begin = hit + needle.size();
    size_t end = buffer.find(kCrLf, begin);
    if (end == std::string::npos) end = buffer.size();
    return buffer.substr(begin, end - begin);
}

bool SettingsStore::writeValue(std::string_view section, std::string_view key,
                               std::string_view value) {
    pending_.push_back(PendingWrite{std::string(section), std::string(key), std::string(value)});
    // A write from inside one being applied (the failure handler runs a message box, whose
    // event loop may deliver more writes) waits its turn, so edits never interleave.
    if (applying_) return true;
    applying_ = true;
    bool first_applied = true;
    for (bool first = true; !pending_.empty(); first = false) {
        const PendingWrite write = std::move(pending_.front());
        pending_.pop_front();
        const bool applied = apply(write);
        if (first) first_applied = applied;
    }
    applying_ = false;
    return first_applied;
}

bool SettingsStore::apply(const PendingWrite& write) {
    std::optional<SectionSpan> span = findSection(write.section);
    for (size_t appends = 0; !span; ++appends) {
        if (appends > kMaxSectionAppends) {
            if (failure_handler_) failure_handler_(file_.data());
            return false;
        }
        std::string header;
        if (file_.size() > 0) header.append(kCrLf);
        header.append("[").append(write.section).append("]");
        edit(file_.size(), 0, header);
        span = findSection(write.section);
    }

    const std::string& buffer = file_.data();
    const size_t section_end = FindHeaderLine(buffer, span->close);
    std::string needle;
    needle.append(kCrLf).append(write.key).append("=");
    const size_t hit = buffer.find(needle, span->close);
    if (hit != std::string::npos && hit < section_end) {
        const size_t begin = hit + needle.size();
        size_t end = buffer.find(kCrLf, begin);
        if (end == std::string::npos) end = buffer.size();
        // Many writes store what is already there (the selected item on every click).
        if (buffer.compare(begin, end - begin, write.value) != 0) {
            edit(begin, end - begin, write.value);
        }
        return true;
    }
    const size_t at = section_end == std::string::npos ? buffer.size() : section_end;
    edit(at, 0, needle + write.value);
    return true;
}

void SettingsStore::edit(size_t offset, size_t length, std::string_view bytes) {
    // An edit at or before the cached header can move it or break the line start it stands
    // on; edits after its "]" leave it where it is.
    if (cached_span_ && offset <= cached_span_->close) cached_span_.reset();
    // While writing fails, each edit goes to memory and is the moment to try again.
    const bool was_failing = file_.failing();
    file_.Replace(offset, length, bytes);
    if (was_failing) file_.Retry();
}

std::string SettingsStore::readText(std::string_view key, std::string_view fallback) const {
    const std::optional<std::string> value = readValue(section_, key);
    if (!value) return std::string(fallback);
    return ReplaceAll(*value, LineBreakMark(), kCrLf);
}

bool SettingsStore::writeText(std::string_view key, std::string_view text) {
    return writeValue(section_, key, ReplaceAll(text, kCrLf, LineBreakMark()));
}

std::optional<double> SettingsStore::readNumberIn(std::string_view section,
                                                  std::string_view key) const {
    const std::optional<std::string> value = readValue(section, key);
    if (!value) return std::nullopt;
    return LeadingNumber(*value);
}

double SettingsStore::readNumber(std::string_view key, double fallback) const {
    return readNumberIn(section_, key).value_or(fallback);
}

bool SettingsStore::writeNumber(std::string_view key, double value) {
    return writeValue(section_, key, NumberText(value));
}

bool SettingsStore::readBool(std::string_view key, bool fallback) const {
    const std::optional<std::string> value = readValue(section_, key);
    return value ? *value == TrueText() : fallback;
}

bool SettingsStore::writeBool(std::string_view key, bool value) {
    return writeValue(section_, key, value ? TrueText() : FalseText());
}

void SettingsStore::savePlacement(std::string_view section_base, const WindowPlacement& placement) {
    using namespace settings;
    const std::string section = PlacementSection(section_base);
    writeValue(section, Gb(kPlacementState.key), NumberText(placement.state));
    if (placement.state > 1) return;
    writeValue(section, Gb(kPlacementLeft.key), NumberText(placement.left));
    writeValue(section, Gb(kPlacementTop.key), NumberText(placement.top));
    writeValue(section, Gb(kPlacementWidth.key), NumberText(placement.width));
    writeValue(section, Gb(kPlacementHeight.key), NumberText(placement.height));
}

WindowPlacement SettingsStore::restorePlacement(std::string_view section_base,
                                                const WindowPlacement& current) const {
    using namespace settings;
    const std::string section = PlacementSection(section_base);
    const auto read = [&](const NumberSetting& setting, int fallback) {
        const std::optional<double> value = readNumberIn(section, Gb(setting.key));
        return value ? RoundToInt(*value) : fallback;
    };
    WindowPlacement placement = current;
    placement.state = read(kPlacementState, current.state);
    if (placement.state > 1) return placement;
    placement.left = read(kPlacementLeft, current.left);
    placement.top = read(kPlacementTop, current.top);
    placement.width = read(kPlacementWidth, current.width);
    placement.height = read(kPlacementHeight, current.height);
    return placement;
}

}  // namespace qm
