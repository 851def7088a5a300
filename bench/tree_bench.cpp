// Tree store speed on a notebook of 100,000 notes (~100 MB): each operation of TreeStore beside
// a naive reference that scans from offset 0 for every index and edits the file as a delete
// and an insert, each rewriting the tail. The last table gives the ratio naive / ours, and for
// the searches memmem over the same bytes as the floor. "written" is the bytes handed to
// write calls per operation (file and journal).
//
// The notebook is generated once into a temporary folder, removed at the end.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "notebook_generator.h"
#include "store/outline.h"
#include "store/record_format.h"
#include "store/text_match.h"
#include "store/time_text.h"
#include "store/tree_store.h"
#include "time_keeping_reporter.h"

namespace qm {
namespace {

constexpr int kNotes = 100000;
constexpr int kMaxDepth = 12;
// Not in any generated text, so a search walks every note.
const char kMissing[] = "zqxjv";
const char kMissingUpper[] = "ZQXJV";
const char kMissingRegex[] = "zq[0-9]+xjv";

// ---------------------------------------------------------------------------------------------
// The generated notebook

struct Notebook {
    std::string folder;
    std::string path;
    std::vector<int> depths;
    int first = 1;
    int middle = 0;  // a leaf followed by a sibling, near the middle
    int early = 0;   // the same, near 30%
    int late = 0;    // a leaf of the same depth as `early`, near 70%
    int last = 0;
};

// Finds a leaf whose next record has the same depth, at or after `from`, at most `maxDepth` deep.
int LeafWithSibling(const std::vector<int>& depths, int from, int depth) {
    for (int i = from; i + 1 < static_cast<int>(depths.size()); ++i) {
        if (depths[i] == depths[i + 1] && (depth == 0 || depths[i] == depth)) return i;
    }
    return -1;
}

const Notebook& SharedNotebook() {
    static Notebook* notebook = [] {
        auto* nb = new Notebook;
        std::string folder = (std::filesystem::temp_directory_path() / "qm-bench-XXXXXX").string();
        if (mkdtemp(folder.data()) == nullptr) std::abort();
        nb->folder = folder;
        nb->path = folder + "/notebook.qm";

        const std::string image = bench::GenerateNotebookImage(
            kNotes, kMaxDepth, 20240501, TimeText(std::time(nullptr)), &nb->depths);
        std::ofstream(nb->path, std::ios::binary)
            .write(image.data(), static_cast<std::streamsize>(image.size()));
        nb->middle = LeafWithSibling(nb->depths, kNotes / 2, 0);
        nb->early = LeafWithSibling(nb->depths, kNotes * 3 / 10, 0);
        nb->late = LeafWithSibling(nb->depths, kNotes * 7 / 10, nb->depths[nb->early]);
        nb->last = kNotes - 1;
        std::fprintf(stderr, "notebook: %d notes, %.1f MB in %s\n", kNotes, image.size() / 1e6,
                     nb->path.c_str());
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(SharedNotebook().folder, ignored);
        });
        return nb;
    }();
    return *notebook;
}

uint64_t BytesWritten() {
    std::ifstream io("/proc/self/io");
    std::string key;
    uint64_t value = 0;
    while (io >> key >> value) {
        if (key == "wchar:") return value;
    }
    return 0;
}

// The timed loop of one benchmark; reports the bytes written per operation, leaving out what
// the untimed set-up between operations writes.
class Loop {
public:
    explicit Loop(benchmark::State& state) : state_(state) {}

    template <typename Body>
    void Run(Body body) {
        const uint64_t before = BytesWritten();
        for (auto _ : state_) body();
        const double written = static_cast<double>(BytesWritten() - before - untimed_);
        state_.counters["written"] =
            benchmark::Counter(written, benchmark::Counter::kAvgIterations);
    }

    // Work between two timed operations (putting things back as they were).
    template <typename Body>
    void Untimed(Body body) {
        state_.PauseTiming();
        const uint64_t before = BytesWritten();
        body();
        untimed_ += BytesWritten() - before;
        state_.ResumeTiming();
    }

private:
    benchmark::State& state_;
    uint64_t untimed_ = 0;
};

template <typename Body>
void Measure(benchmark::State& state, Body body) {
    Loop(state).Run([&] { body(state); });
}

// ---------------------------------------------------------------------------------------------
// The naive reference: the literal algorithm

class NaiveStore {
public:
    explicit NaiveStore(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        image_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        fd_ = open(path.c_str(), O_RDWR);
    }
    ~NaiveStore() {
        if (fd_ >= 0) close(fd_);
    }

    std::string BuildOutline() {
        std::string rows;
        for (size_t start = 0, end; start < image_.size(); start = end + 1) {
            end = image_.find('\0', start);
            if (end == std::string::npos) break;
            const FieldSpan span = FindField(image_, start, end, kFieldDepth);
            const RecordFields f = SplitRecord(
                std::string_view(image_).substr(start, (span.found ? span.end : end) - start), 6);
            AppendOutlineRow(&rows, f[0], ParseIntField(f[1]), ParseIntField(f[3]),
                             ParseIntField(f[4]), ParseIntField(f[5]));
        }
        return rows;
    }

    // Walks from offset 0 to record `index`.
    bool FindRecord(int index, size_t* start, size_t* end) const {
        size_t at = 0;
        for (int i = 0;; ++i) {
            const size_t e = image_.find('\0', at);
            if (e == std::string::npos) return false;
            if (i == index) {
                *start = at;
                *end = e;
                return true;
            }
            at = e + 1;
        }
    }

    std::string ReadBody(int index) {
        size_t start = 0;
        size_t end = 0;
        if (!FindRecord(index, &start, &end)) return {};
        RecordFields f = SplitRecord(std::string_view(image_).substr(start, end - start));
        const FieldSpan accessed = FindField(image_, start, end, kFieldAccessed);
        Replace(accessed.start, accessed.end - accessed.start, TimeText(std::time(nullptr)));
        return f[kFieldBody - 1];
    }

    void SetField(int index, int k, const std::string& value) {
        size_t start = 0;
        size_t end = 0;
        if (!FindRecord(index, &start, &end)) return;
        const FieldSpan span = FindField(image_, start, end, k);
        Replace(span.start, span.end - span.start, value);
    }

    void UpdateBody(int index, const std::string& body) {
        size_t start = 0;
        size_t end = 0;
        if (!FindRecord(index, &start, &end)) return;
        RecordFields f = SplitRecord(std::string_view(image_).substr(start, end - start));
        f[kFieldBody - 1] = body;
        f[kFieldModified - 1] = TimeText(std::time(nullptr));
        Replace(start, end + 1 - start, JoinRecord(f));
    }

    // Start offset, end offset (terminator) and depth of the subtree of `index`.
    bool LocateSubtree(int index, size_t* start, size_t* end, int* depth, int* last) const {
        size_t recordEnd = 0;
        if (!FindRecord(index, start, &recordEnd)) return false;
        *depth = DepthAt(*start, recordEnd);
        *end = recordEnd;
        *last = index;
        for (size_t at = recordEnd + 1;;) {
            const size_t e = image_.find('\0', at);
            if (e == std::string::npos || DepthAt(at, e) <= *depth) return true;
            *end = e;
            ++*last;
            at = e + 1;
        }
    }

    void AddChild(int parent) {
        size_t start = 0;
        size_t end = 0;
        int depth = 0;
        int last = 0;
        if (!LocateSubtree(parent, &start, &end, &depth, &last)) return;
        RecordFields f;
        f[1] = f[2] = "-1";
        f[3] = f[4] = f[8] = f[9] = "0";
        f[5] = std::to_string(depth + 1);
        f[10] = f[11] = f[12] = TimeText(std::time(nullptr));
        Insert(end + 1, JoinRecord(f));
    }

    std::string DeleteSubtree(int index) {
        size_t start = 0;
        size_t end = 0;
        int depth = 0;
        int last = 0;
        if (!LocateSubtree(index, &start, &end, &depth, &last)) return {};
        std::string removed = image_.substr(start, end + 1 - start);
        Delete(start, end + 1 - start);
        return removed;
    }

    // As a sibling; returns the new index of the moved record.
    int MoveSubtree(int from, int to) {
        size_t fs = 0, fe = 0, ts = 0, te = 0;
        int fd = 0, td = 0, fl = 0, tl = 0;
        if (!LocateSubtree(from, &fs, &fe, &fd, &fl) || !LocateSubtree(to, &ts, &te, &td, &tl)) {
            return -1;
        }
        std::string block = image_.substr(fs, fe + 1 - fs);
        TreeStore::ShiftDepth(&block, td - fd);
        const int count = fl - from + 1;
        if (from < to) {
            Insert(te + 1, block);
            Delete(fs, fe + 1 - fs);
            return tl + 1 - count;
        }
        Insert(ts, block);
        Delete(fs + block.size(), fe + 1 - fs);
        return to;
    }

    int Search(const TextMatcher& matcher) const {
        int index = 0;
        for (size_t start = 0, end; (end = image_.find('\0', start)) != std::string::npos;
             start = end + 1, ++index) {
            const RecordFields f = SplitRecord(std::string_view(image_).substr(start, end - start));
            if (matcher.Matches(f[0]) || matcher.Matches(f[kFieldBody - 1])) return index;
        }
        return -1;
    }

    const std::string& image() const { return image_; }
    size_t StartOf(int index) const {
        size_t start = 0;
        size_t end = 0;
        return FindRecord(index, &start, &end) ? start : 0;
    }
    void InsertRaw(size_t offset, const std::string& bytes) { Insert(offset, bytes); }

private:
    int DepthAt(size_t start, size_t end) const {
        const FieldSpan span = FindField(image_, start, end, kFieldDepth);
        return span.found ? ParseIntField(
                                std::string_view(image_).substr(span.start, span.end - span.start))
                          : 0;
    }

    void WriteTail(size_t offset) {
        if (pwrite(fd_, image_.data() + offset, image_.size() - offset,
                   static_cast<off_t>(offset)) < 0) {
            std::abort();
        }
    }
    void Insert(size_t offset, const std::string& bytes) {
        image_.insert(offset, bytes);
        WriteTail(offset);
    }
    void Delete(size_t offset, size_t length) {
        image_.erase(offset, length);
        WriteTail(offset);
        if (ftruncate(fd_, static_cast<off_t>(image_.size())) != 0) std::abort();
    }
    void Replace(size_t offset, size_t length, const std::string& bytes) {
        if (length > 0) Delete(offset, length);
        if (!bytes.empty()) Insert(offset, bytes);
    }

    std::string image_;
    int fd_ = -1;
};

// ---------------------------------------------------------------------------------------------
// Benchmarks

std::unique_ptr<TreeStore> OpenOurs() {
    auto store = std::make_unique<TreeStore>(SharedNotebook().folder);
    if (!store->Open(SharedNotebook().path)) std::abort();
    store->BuildOutline();
    return store;
}

int NodeAt(const std::string& where) {
    const Notebook& nb = SharedNotebook();
    if (where == "first") return nb.first;
    if (where == "middle") return nb.middle;
    return nb.last;
}

void OursOpen(benchmark::State& state) {
    Measure(state, [](benchmark::State&) {
        TreeStore store(SharedNotebook().folder);
        store.Open(SharedNotebook().path);
        benchmark::DoNotOptimize(store.BuildOutline());
    });
}
void NaiveOpen(benchmark::State& state) {
    Measure(state, [](benchmark::State&) {
        NaiveStore store(SharedNotebook().path);
        benchmark::DoNotOptimize(store.BuildOutline());
    });
}

// The outline of a store already open.
void OursOutline(benchmark::State& state) {
    auto store = OpenOurs();
    Measure(state, [&](benchmark::State&) { benchmark::DoNotOptimize(store->BuildOutline()); });
}
void NaiveOutline(benchmark::State& state) {
    NaiveStore store(SharedNotebook().path);
    Measure(state, [&](benchmark::State&) { benchmark::DoNotOptimize(store.BuildOutline()); });
}

void OursReadNode(benchmark::State& state, int index) {
    auto store = OpenOurs();
    // A clock one second on at every read, so every read really writes its accessed time (an
    // unchanged time text would leave the file alone).
    std::time_t now = std::time(nullptr);
    store->SetClock([&now] { return ++now; });
    NodeRecord record;
    Measure(state, [&](benchmark::State&) { store->ReadNode(index, kFieldBody, &record, true); });
}
void NaiveReadNode(benchmark::State& state, int index) {
    NaiveStore store(SharedNotebook().path);
    Measure(state, [&](benchmark::State&) { benchmark::DoNotOptimize(store.ReadBody(index)); });
}

void OursSetField(benchmark::State& state, int index) {
    auto store = OpenOurs();
    int n = 0;
    Measure(state, [&](benchmark::State&) {
        store->SetField(index, kFieldSelStart, ++n % 2 ? "1" : "0");
    });
    store->SetField(index, kFieldSelStart, "0");
}
void NaiveSetField(benchmark::State& state, int index) {
    NaiveStore store(SharedNotebook().path);
    int n = 0;
    Measure(state,
            [&](benchmark::State&) { store.SetField(index, kFieldSelStart, ++n % 2 ? "1" : "0"); });
    store.SetField(index, kFieldSelStart, "0");
}

// Alternates between the note's body with 100 bytes more and its own body.
void OursUpdateNode(benchmark::State& state, int index) {
    auto store = OpenOurs();
    const std::string body = store->ReadNode(index, kFieldBody);
    const std::string longer = body + std::string(100, 'x');
    int n = 0;
    NodeFields fields;
    Measure(state, [&](benchmark::State&) {
        fields.body = ++n % 2 ? longer : body;
        store->UpdateNode(index, fields);
    });
    fields.body = body;
    store->UpdateNode(index, fields);
}
void NaiveUpdateNode(benchmark::State& state, int index) {
    NaiveStore store(SharedNotebook().path);
    const std::string body = store.ReadBody(index);
    const std::string longer = body + std::string(100, 'x');
    int n = 0;
    Measure(state, [&](benchmark::State&) { store.UpdateBody(index, ++n % 2 ? longer : body); });
    store.UpdateBody(index, body);
}

// A child added below the middle note; removed again outside the timing.
void OursAddNode(benchmark::State& state) {
    auto store = OpenOurs();
    const int parent = SharedNotebook().middle;
    Loop loop(state);
    loop.Run([&] {
        const int index = store->AddNode(parent);
        loop.Untimed([&] { store->DeleteSubtree(index); });
    });
}
void NaiveAddNode(benchmark::State& state) {
    NaiveStore store(SharedNotebook().path);
    const int parent = SharedNotebook().middle;
    Loop loop(state);
    loop.Run([&] {
        store.AddChild(parent);
        loop.Untimed([&] { store.DeleteSubtree(parent + 1); });
    });
}

// A leaf at 30% moves behind a leaf of the same depth at 70%, and back.
void OursMoveSubtree(benchmark::State& state) {
    auto store = OpenOurs();
    const Notebook& nb = SharedNotebook();
    int n = 0;
    int moved = nb.early;
    Measure(state, [&](benchmark::State&) {
        int from = moved;
        int to = ++n % 2 ? nb.late : nb.early;
        store->MoveSubtree(&from, &to, true);
        moved = to;
    });
    if (moved != nb.early) {
        int to = nb.early;
        store->MoveSubtree(&moved, &to, true);
    }
}
void NaiveMoveSubtree(benchmark::State& state) {
    NaiveStore store(SharedNotebook().path);
    const Notebook& nb = SharedNotebook();
    int n = 0;
    int moved = nb.early;
    Measure(state, [&](benchmark::State&) {
        moved = store.MoveSubtree(moved, ++n % 2 ? nb.late : nb.early);
    });
    if (moved != nb.early) store.MoveSubtree(moved, nb.early);
}

// The middle leaf is deleted; put back outside the timing.
void OursDeleteSubtree(benchmark::State& state) {
    auto store = OpenOurs();
    const int index = SharedNotebook().middle;
    std::string removed;
    int depth = 0;
    Loop loop(state);
    loop.Run([&] {
        store->DeleteSubtree(index, &removed, &depth);
        loop.Untimed([&] {
            int to = index;  // now its next sibling
            store->MoveSubtree(removed, 1, depth, &to, true);
        });
    });
}
void NaiveDeleteSubtree(benchmark::State& state) {
    NaiveStore store(SharedNotebook().path);
    const int index = SharedNotebook().middle;
    Loop loop(state);
    loop.Run([&] {
        size_t start = 0;
        loop.Untimed([&] { start = store.StartOf(index); });
        const std::string removed = store.DeleteSubtree(index);
        loop.Untimed([&] { store.InsertRaw(start, removed); });
    });
}

struct SearchKind {
    const char* name;
    const char* pattern;
    bool ignoreCase;
    bool regex;
};
const SearchKind kSearches[] = {
    {"substring", kMissing, false, false},
    {"ignore_case", kMissingUpper, true, false},
    {"regex", kMissingRegex, false, true},
};

void OursSearch(benchmark::State& state, const SearchKind& kind) {
    auto store = OpenOurs();
    SearchQuery query;
    query.pattern = kind.pattern;
    query.ignoreCase = kind.ignoreCase;
    query.useRegex = kind.regex;
    Measure(state, [&](benchmark::State&) {
        if (store->SearchNodes(query).index != -1) state.SkipWithError("found the missing text");
    });
}
void NaiveSearch(benchmark::State& state, const SearchKind& kind) {
    NaiveStore store(SharedNotebook().path);
    MatchOptions options;
    options.ignoreCase = kind.ignoreCase;
    options.useRegex = kind.regex;
    const TextMatcher matcher(kind.pattern, options);
    Measure(state, [&](benchmark::State&) { benchmark::DoNotOptimize(store.Search(matcher)); });
}
void MemmemSearch(benchmark::State& state) {
    NaiveStore store(SharedNotebook().path);
    const std::string& image = store.image();
    Measure(state, [&](benchmark::State&) {
        benchmark::DoNotOptimize(memmem(image.data(), image.size(), kMissing, 5));
    });
}

// Collects the mean time of every run for the ratio table.
class RatioReporter : public qm::bench::TimeKeepingReporter {
public:
    void PrintRatios() const {
        std::printf("\n%-36s %12s %16s %9s\n", "operation", "ours (us)", "reference (us)", "ratio");
        const std::string floor = "Search_titles_bodies/memmem";
        for (const auto& [name, time] : times_) {
            if (name.size() < 5 || name.compare(name.size() - 5, 5, "/ours") != 0) continue;
            const std::string op = name.substr(0, name.size() - 5);
            std::vector<std::string> references = {op + "/naive"};
            if (op.rfind("Search", 0) == 0) references.push_back(floor);
            for (const std::string& reference : references) {
                const auto it = times_.find(reference);
                if (it == times_.end()) continue;
                std::printf("%-36s %12.1f %16.1f %8.2fx  reference/ours, vs %s\n", op.c_str(), time,
                            it->second, it->second / time,
                            reference.substr(reference.rfind('/') + 1).c_str());
            }
        }
    }

};

}  // namespace
}  // namespace qm

int main(int argc, char** argv) {
    using namespace qm;
    using benchmark::kMicrosecond;
    benchmark::Initialize(&argc, argv);
    SharedNotebook();

    auto reg = [](const std::string& name, auto fn, int iterations) {
        benchmark::RegisterBenchmark(name.c_str(), fn)->Unit(kMicrosecond)->Iterations(iterations);
    };
    reg("Open+BuildOutline/ours", OursOpen, 5);
    reg("Open+BuildOutline/naive", NaiveOpen, 5);
    reg("BuildOutline/ours", OursOutline, 10);
    reg("BuildOutline/naive", NaiveOutline, 10);
    for (const char* where : {"first", "middle", "last"}) {
        const int index = NodeAt(where);
        benchmark::RegisterBenchmark((std::string("ReadNode/") + where + "/ours").c_str(),
                                     [index](benchmark::State& s) { OursReadNode(s, index); })
            ->Unit(kMicrosecond)
            ->MinTime(0.5);
        reg(
            std::string("ReadNode/") + where + "/naive",
            [index](benchmark::State& s) { NaiveReadNode(s, index); }, 5);
    }
    const int middle = SharedNotebook().middle;
    benchmark::RegisterBenchmark("SetField_same_length/middle/ours",
                                 [middle](benchmark::State& s) { OursSetField(s, middle); })
        ->Unit(kMicrosecond)
        ->MinTime(0.5);
    reg(
        "SetField_same_length/middle/naive",
        [middle](benchmark::State& s) { NaiveSetField(s, middle); }, 5);
    for (const char* where : {"first", "middle", "last"}) {
        const int index = NodeAt(where);
        reg(
            std::string("UpdateNode_longer/") + where + "/ours",
            [index](benchmark::State& s) { OursUpdateNode(s, index); }, 10);
        reg(
            std::string("UpdateNode_longer/") + where + "/naive",
            [index](benchmark::State& s) { NaiveUpdateNode(s, index); }, 4);
    }
    reg("AddNode/middle/ours", OursAddNode, 10);
    reg("AddNode/middle/naive", NaiveAddNode, 4);
    reg("MoveSubtree/30%->70%/ours", OursMoveSubtree, 10);
    reg("MoveSubtree/30%->70%/naive", NaiveMoveSubtree, 4);
    reg("DeleteSubtree/middle/ours", OursDeleteSubtree, 10);
    reg("DeleteSubtree/middle/naive", NaiveDeleteSubtree, 4);
    for (const SearchKind& kind : kSearches) {
        reg(
            std::string("Search_titles_bodies/") + kind.name + "/ours",
            [&kind](benchmark::State& s) { OursSearch(s, kind); }, 5);
        reg(
            std::string("Search_titles_bodies/") + kind.name + "/naive",
            [&kind](benchmark::State& s) { NaiveSearch(s, kind); }, 3);
    }
    reg("Search_titles_bodies/memmem", MemmemSearch, 20);

    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatios();
    benchmark::Shutdown();
    return 0;
}
