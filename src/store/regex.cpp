#include "store/regex.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>
#include <time.h>

#include <functional>
#include <utility>

namespace qm {
namespace {

// A backtracking budget for each start position. One million steps end (a+)+$ on a long run
// of letters within milliseconds, and are ample for the patterns of the search, the links and
// the calculator on real note bodies.
constexpr uint32_t kMatchLimit = 1'000'000;
// Nesting of backtracking points in the interpreter (the JIT uses its stack instead).
constexpr uint32_t kDepthLimit = 200'000;
// Heap the interpreter may take for its backtracking frames, in KiB.
constexpr size_t kHeapLimitKiB = 64 * 1024;
// The JIT stack grows on demand from the first figure up to the second; the reservation is
// virtual memory, so a generous ceiling costs nothing until a pattern needs it.
constexpr size_t kJitStackStart = 32 * 1024;
constexpr size_t kJitStackMax = 8 * 1024 * 1024;

// The limits above bound the backtracking of one attempt, but PCRE2 starts afresh at every
// start position, so a pattern that scans far from each of them, such as (?:a|b)*\d on a long
// run of letters, takes time quadratic in the text. A callout at the start of every attempt
// ends the call once it has run longer than a scan of the text could need: one second plus
// one for every 16 MB. The price: the JIT then skips its check for a required character, so
// a*b on a megabyte of a's ends by the clock rather than at once; both report no match.
constexpr uint32_t kAttemptCallout = 255;
constexpr double kBudgetSeconds = 1.0;
constexpr double kBudgetBytesPerSecond = 16.0 * 1024 * 1024;

double MonotonicSeconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

struct AttemptClock {
    double deadline = 0;
    uint32_t attempts = 0;
};

int OnAttempt(pcre2_callout_block* block, void* data) {
    if (block->callout_number != kAttemptCallout) return 0;
    auto* clock = static_cast<AttemptClock*>(data);
    if ((++clock->attempts & 15) != 0) return 0;
    return MonotonicSeconds() > clock->deadline ? PCRE2_ERROR_CALLOUT : 0;
}

// Bytes of the UTF-8 character starting at `pos`; an invalid byte counts as one.
size_t Utf8CharLength(std::string_view text, size_t pos) {
    size_t end = pos + 1;
    while (end < text.size() && end - pos < 4 &&
           (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
        ++end;
    }
    return end - pos;
}

std::string ErrorText(int code) {
    PCRE2_UCHAR buffer[256];
    const int length = pcre2_get_error_message(code, buffer, sizeof(buffer));
    if (length < 0) return "error " + std::to_string(code);
    return std::string(reinterpret_cast<const char*>(buffer), static_cast<size_t>(length));
}

}  // namespace

struct Regex::Compiled {
    Compiled() = default;
    Compiled(const Compiled&) = delete;
    Compiled& operator=(const Compiled&) = delete;
    ~Compiled() {
        pcre2_match_data_free(match_data);
        pcre2_match_context_free(match_context);
        pcre2_jit_stack_free(jit_stack);
        pcre2_code_free(code);
    }

    pcre2_code* code = nullptr;
    pcre2_match_context* match_context = nullptr;
    pcre2_jit_stack* jit_stack = nullptr;
    pcre2_match_data* match_data = nullptr;
    AttemptClock clock;
};

Regex::Regex() = default;
Regex::~Regex() = default;
Regex::Regex(Regex&&) noexcept = default;
Regex& Regex::operator=(Regex&&) noexcept = default;

bool Regex::Compile(std::string_view pattern, bool ignoreCase, bool multiLine) {
    compiled_.reset();
    error_.clear();

    // ECMAScript: [] never matches and [^] matches anything; without the multi-line flag $
    // matches only at the very end. CR, LF and CR LF all end a line, as notes use CR LF.
    uint32_t options = PCRE2_UTF | PCRE2_MATCH_INVALID_UTF | PCRE2_ALT_BSUX |
                       PCRE2_ALLOW_EMPTY_CLASS | PCRE2_NEVER_BACKSLASH_C;
    options |= multiLine ? PCRE2_MULTILINE : PCRE2_DOLLAR_ENDONLY;
    if (ignoreCase) options |= PCRE2_CASELESS;

    pcre2_compile_context* context = pcre2_compile_context_create(nullptr);
    if (context == nullptr) {
        error_ = "out of memory";
        return false;
    }
    pcre2_set_newline(context, PCRE2_NEWLINE_ANYCRLF);
    auto compile = [&](std::string_view source, int* error_code, PCRE2_SIZE* error_offset) {
        return pcre2_compile(reinterpret_cast<PCRE2_SPTR>(source.data()), source.size(), options,
                             error_code, error_offset, context);
    };
    int error_code = 0;
    PCRE2_SIZE error_offset = 0;
    pcre2_code* code = compile(pattern, &error_code, &error_offset);
    if (code == nullptr) {
        pcre2_compile_context_free(context);
        error_ = ErrorText(error_code) + " at offset " + std::to_string(error_offset);
        return false;
    }
    // The pattern is valid as given; the form that is run carries the attempt callout in
    // front. A valid pattern means the same inside a non-capturing group, unless its end
    // swallows the closing parenthesis (an open \Q or an extended-mode comment) or it opens
    // with a (*VERB); those fail to compile wrapped and run as given, without the clock.
    std::string wrapped = "(?C" + std::to_string(kAttemptCallout) + ")(?:";
    wrapped.append(pattern);
    wrapped.append(")");
    pcre2_code* timed = compile(wrapped, &error_code, &error_offset);
    pcre2_compile_context_free(context);
    if (timed != nullptr) {
        pcre2_code_free(code);
        code = timed;
    }

    auto compiled = std::make_unique<Compiled>();
    compiled->code = code;
    compiled->match_data = pcre2_match_data_create_from_pattern(code, nullptr);
    compiled->match_context = pcre2_match_context_create(nullptr);
    if (compiled->match_data == nullptr || compiled->match_context == nullptr) {
        error_ = "out of memory";
        return false;
    }
    pcre2_set_match_limit(compiled->match_context, kMatchLimit);
    pcre2_set_depth_limit(compiled->match_context, kDepthLimit);
    pcre2_set_heap_limit(compiled->match_context, kHeapLimitKiB);
    if (timed != nullptr) {
        pcre2_set_callout(compiled->match_context, OnAttempt, &compiled->clock);
    }

    // Without the JIT (not built in, or no executable memory) the interpreter runs instead,
    // under the same limits.
    if (pcre2_jit_compile(code, PCRE2_JIT_COMPLETE) == 0) {
        compiled->jit_stack = pcre2_jit_stack_create(kJitStackStart, kJitStackMax, nullptr);
        if (compiled->jit_stack != nullptr) {
            pcre2_jit_stack_assign(compiled->match_context, nullptr, compiled->jit_stack);
        }
    }
    compiled_ = std::move(compiled);
    return true;
}

void Regex::StartClock(size_t text_size) const {
    if (!compiled_) return;
    compiled_->clock.attempts = 0;
    compiled_->clock.deadline = MonotonicSeconds() + kBudgetSeconds +
                                static_cast<double>(text_size) / kBudgetBytesPerSecond;
}

RegexStatus Regex::MatchAt(std::string_view text, size_t start, size_t* begin, size_t* end) const {
    if (!compiled_) return RegexStatus::kError;
    // PCRE2 wants a valid pointer even for an empty subject.
    const char* subject = text.data() != nullptr ? text.data() : "";
    const int rc = pcre2_match(compiled_->code, reinterpret_cast<PCRE2_SPTR>(subject), text.size(),
                               start, 0, compiled_->match_data, compiled_->match_context);
    if (rc >= 0) {
        const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(compiled_->match_data);
        *begin = ovector[0];
        // \K inside a look-ahead can put the end before the start; take it as empty.
        *end = ovector[1] < ovector[0] ? ovector[0] : ovector[1];
        return RegexStatus::kMatch;
    }
    switch (rc) {
        case PCRE2_ERROR_NOMATCH:
            return RegexStatus::kNoMatch;
        case PCRE2_ERROR_MATCHLIMIT:
        case PCRE2_ERROR_DEPTHLIMIT:
        case PCRE2_ERROR_HEAPLIMIT:
        case PCRE2_ERROR_JIT_STACKLIMIT:
        case PCRE2_ERROR_CALLOUT:
            return RegexStatus::kLimitHit;
        default:
            return RegexStatus::kError;
    }
}

void Regex::FillMatch(std::string_view text, RegexMatch* match) const {
    const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(compiled_->match_data);
    const uint32_t pairs = pcre2_get_ovector_count(compiled_->match_data);
    const size_t begin = ovector[0];
    const size_t end = ovector[1] < begin ? begin : ovector[1];
    match->position = begin;
    match->length = end - begin;
    match->text.assign(text.substr(begin, end - begin));
    match->groups.clear();
    uint32_t group_count = 0;
    pcre2_pattern_info(compiled_->code, PCRE2_INFO_CAPTURECOUNT, &group_count);
    for (uint32_t i = 1; i <= group_count; ++i) {
        if (i < pairs && ovector[2 * i] != PCRE2_UNSET && ovector[2 * i + 1] >= ovector[2 * i]) {
            match->groups.emplace_back(
                text.substr(ovector[2 * i], ovector[2 * i + 1] - ovector[2 * i]));
        } else {
            match->groups.emplace_back();
        }
    }
}

RegexStatus Regex::FirstMatch(std::string_view text, RegexMatch* match) const {
    size_t begin = 0;
    size_t end = 0;
    StartClock(text.size());
    const RegexStatus status = MatchAt(text, 0, &begin, &end);
    if (status == RegexStatus::kMatch && match != nullptr) FillMatch(text, match);
    return status;
}

RegexStatus Regex::FirstMatchSpan(std::string_view text, size_t* position, size_t* length) const {
    size_t begin = 0;
    size_t end = 0;
    StartClock(text.size());
    const RegexStatus status = MatchAt(text, 0, &begin, &end);
    if (status == RegexStatus::kMatch) {
        *position = begin;
        *length = end - begin;
    }
    return status;
}

RegexStatus Regex::ForEachMatch(std::string_view text,
                                const std::function<void(size_t, size_t)>& found) const {
    RegexStatus result = RegexStatus::kNoMatch;
    size_t start = 0;
    StartClock(text.size());
    while (start <= text.size()) {
        size_t begin = 0;
        size_t end = 0;
        const RegexStatus status = MatchAt(text, start, &begin, &end);
        if (status == RegexStatus::kNoMatch) break;
        if (status != RegexStatus::kMatch) return status;
        result = RegexStatus::kMatch;
        found(begin, end);
        if (end > begin) {
            start = end;
        } else if (begin < text.size()) {
            // ECMAScript's global matching: after an empty match, one character further.
            start = begin + Utf8CharLength(text, begin);
        } else {
            break;
        }
    }
    return result;
}

RegexStatus Regex::AllMatches(std::string_view text, std::vector<RegexMatch>* matches) const {
    matches->clear();
    return ForEachMatch(text, [&](size_t, size_t) {
        matches->emplace_back();
        FillMatch(text, &matches->back());
    });
}

std::string Regex::RemoveMatches(std::string_view text, RegexStatus* status) const {
    std::string result;
    size_t kept_from = 0;  // start of the text not yet copied
    const RegexStatus found = ForEachMatch(text, [&](size_t begin, size_t end) {
        result.append(text.substr(kept_from, begin - kept_from));
        kept_from = end;
    });
    result.append(text.substr(kept_from));
    if (status != nullptr) *status = found;
    return result;
}

}  // namespace qm
