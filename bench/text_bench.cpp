// Speed of the match rule and the decoder on 100 MiB of generated Chinese and ASCII text.
//
// The searches look for a needle that is not in the text, so each one reads all of it. Every
// iteration also times glibc memmem over the same bytes (outside the measured time), and the
// counter x_memmem is the ratio of the two: 1.0 is as fast as a bare byte search. The decoder
// runs are compared in the same way with one bare iconv conversion of the same input
// (x_iconv). Throughput is bytes of input per second.
#include <benchmark/benchmark.h>
#include <string.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/charset.h"
#include "store/text_decoder.h"
#include "store/text_match.h"

namespace qm {
namespace {

constexpr size_t kTextBytes = 100 * 1024 * 1024;
constexpr size_t kDecodeBytes = 32 * 1024 * 1024;

// None of these occurs in the generated text (checked when it is built).
const char kMissingChinese[] = "量子纠缠";
const char kMissingAscii[] = "Quokka Jazz";
const char kMissingRegex[] = "量子\\d+纠缠";

const char* const kSimplified[] = {
    "笔记", "中文", "搜索", "内容", "文本", "数据", "树形", "结构", "回收站", "标题", "正文",
    "编码", "字符", "程序", "文件", "目录", "导入", "导出", "设置", "窗口",   "朗读", "打字",
    "计算", "链接", "备份", "时间", "我们", "今天", "学习", "工作", "的",     "是",   "在",
    "了",   "和",   "，",   "。",   "、",   "；",   "：",   "（",   "）",     "《",   "》"};
const char* const kTraditional[] = {"臺灣", "繁體", "中文", "資料", "搜尋", "內容", "檔案", "設定",
                                    "視窗", "備份", "時間", "我們", "今天", "學習", "工作", "筆記",
                                    "標題", "的",   "是",   "在",   "了",   "和",   "，",   "。",
                                    "、",   "；",   "：",   "「",   "」"};
const char* const kAscii[] = {"the",   "Note", "search", "GBK",  "UTF-8", "2024",
                              "index", "Tree", "file",   "text", "x",     "42",
                              "data",  "<b>",  "body",   "HTML", "link",  "www.example.com/a?b=1"};

class Lcg {
public:
    explicit Lcg(uint64_t seed) : state_(seed) {}
    uint32_t Next(uint32_t bound) {
        state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<uint32_t>(state_ >> 33) % bound;
    }

private:
    uint64_t state_;
};

// Deterministic text of about `size` bytes in the given charset: mostly Chinese words, one
// token in four ASCII, a space or a CR LF between some of them.
template <size_t N>
std::string Generate(const char* const (&chinese)[N], const char* charset, size_t size) {
    std::vector<std::string> words;
    for (const char* w : chinese) {
        std::string out;
        ConvertCharset(w, "UTF-8", charset, "?", &out);
        words.push_back(out);
    }
    for (const char* w : kAscii) words.push_back(w);
    const uint32_t chinese_count = static_cast<uint32_t>(N);
    const uint32_t ascii_count = static_cast<uint32_t>(sizeof(kAscii) / sizeof(kAscii[0]));
    Lcg random(20240601);
    std::string text;
    text.reserve(size + 64);
    while (text.size() < size) {
        const bool ascii = random.Next(4) == 0;
        text +=
            words[ascii ? chinese_count + random.Next(ascii_count) : random.Next(chinese_count)];
        const uint32_t gap = random.Next(16);
        if (gap == 0) {
            text += "\r\n";
        } else if (gap < 4 || ascii) {
            text += ' ';
        }
    }
    return text;
}

const std::string& Gb18030Text() {
    static const std::string text = [] {
        std::string t = Generate(kSimplified, "GB18030", kTextBytes);
        const TextMatcher chinese(Utf8ToGb18030(kMissingChinese), {});
        const TextMatcher ascii(kMissingAscii, {true, false, false});
        if (chinese.Matches(t) || ascii.Matches(t) ||
            memmem(t.data(), t.size(), kMissingAscii, strlen(kMissingAscii)) != nullptr) {
            std::fprintf(stderr, "generated text holds a needle that must be missing\n");
            std::abort();
        }
        return t;
    }();
    return text;
}

double Seconds(std::chrono::steady_clock::time_point from) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
}

// Runs `op` as the measured operation and, outside the measured time, `baseline` over the
// same input; reports bytes/s of `bytes` and the time ratio op / baseline as `counter`.
template <class Op, class Baseline>
void Measure(benchmark::State& state, size_t bytes, const char* counter, Op op, Baseline baseline) {
    double op_seconds = 0;
    double baseline_seconds = 0;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(op());
        op_seconds += Seconds(start);
        state.PauseTiming();
        start = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(baseline());
        baseline_seconds += Seconds(start);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
    state.counters[counter] = op_seconds / baseline_seconds;
}

void SearchBench(benchmark::State& state, std::string_view query, const MatchOptions& options,
                 std::string_view memmem_needle) {
    const std::string& text = Gb18030Text();
    const TextMatcher matcher(query, options);
    if (!matcher.valid()) {
        state.SkipWithError(matcher.error().c_str());
        return;
    }
    Measure(
        state, text.size(), "x_memmem", [&] { return matcher.Matches(text); },
        [&] {
            return memmem(text.data(), text.size(), memmem_needle.data(), memmem_needle.size());
        });
}

void BM_MemmemBaseline(benchmark::State& state) {
    const std::string& text = Gb18030Text();
    const std::string needle = Utf8ToGb18030(kMissingChinese);
    auto search = [&] { return memmem(text.data(), text.size(), needle.data(), needle.size()); };
    Measure(state, text.size(), "x_memmem", search, search);
}

void BM_SubstringCaseSensitive(benchmark::State& state) {
    const std::string needle = Utf8ToGb18030(kMissingChinese);
    SearchBench(state, needle, {}, needle);
}

void BM_SubstringCaseSensitiveAscii(benchmark::State& state) {
    SearchBench(state, kMissingAscii, {}, kMissingAscii);
}

void BM_SubstringIgnoreCaseAscii(benchmark::State& state) {
    SearchBench(state, kMissingAscii, {true, false, false}, kMissingAscii);
}

void BM_Regex(benchmark::State& state) {
    SearchBench(state, Utf8ToGb18030(kMissingRegex), {false, false, true},
                Utf8ToGb18030(kMissingChinese));
}

void DecodeBench(benchmark::State& state, const std::string& input, const char* charset) {
    Measure(
        state, input.size(), "x_iconv", [&] { return DecodeTextBytes(input).size(); },
        [&] {
            std::string out;
            ConvertCharset(input, charset, "GB18030", "?", &out);
            return out.size();
        });
}

void BM_DecodeUtf8(benchmark::State& state) {
    static const std::string input = Generate(kSimplified, "UTF-8", kDecodeBytes);
    DecodeBench(state, input, "UTF-8");
}

void BM_DecodeBig5Html(benchmark::State& state) {
    static const std::string input =
        "<html><head><meta http-equiv=Content-Type content=\"text/html; charset=big5\">"
        "</head><body>" +
        Generate(kTraditional, "BIG5", kDecodeBytes) + "</body></html>";
    DecodeBench(state, input, "BIG5");
}

void BM_DecodeGbkUnchanged(benchmark::State& state) {
    static const std::string input = Generate(kSimplified, "GB18030", kDecodeBytes);
    Measure(
        state, input.size(), "x_memmem", [&] { return DecodeTextBytes(input).size(); },
        [&] { return memmem(input.data(), input.size(), kMissingAscii, strlen(kMissingAscii)); });
}

BENCHMARK(BM_MemmemBaseline)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SubstringCaseSensitive)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SubstringCaseSensitiveAscii)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SubstringIgnoreCaseAscii)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Regex)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeUtf8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeBig5Html)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeGbkUnchanged)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace qm

BENCHMARK_MAIN();
