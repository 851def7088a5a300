// Note path speed on a notebook of 20,001 notes (a root, 200 top-level notes with 99 children
// each, bodies of about 600 bytes): the path of the last note and its resolution, done over the
// tree model's rows as the window does, beside the same functions reading every title and depth
// from the store. The counter x_store is model time / store time (below 1: faster than the
// store). The path bar rebuilds on every note load, so this is per click.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "app/notes/note_path.h"
#include "app/notes/outline_path_tree.h"
#include "app/trees/outline_model.h"
#include "common/charset.h"
#include "store/record_format.h"
#include "store/tree_store.h"
#include "support/temp_dir.h"

namespace qm {
namespace {

constexpr int kTopLevel = 200;
constexpr int kChildren = 99;

std::string Record(const std::string& title, int depth, const std::string& body) {
    RecordFields fields;
    fields[0] = title;
    fields[1] = fields[2] = depth == 1 ? "2" : "1";
    fields[3] = fields[4] = "0";
    fields[5] = std::to_string(depth);
    fields[6] = body;
    fields[8] = fields[9] = "0";
    fields[10] = fields[11] = fields[12] = "2026-01-05 09:30:00";
    return JoinRecord(fields);
}

struct Notebook {
    testing::TempDir dir;
    std::unique_ptr<TreeStore> store;
    std::unique_ptr<OutlineModel> model;
    std::unique_ptr<StorePathTree> storeTree;
    std::unique_ptr<OutlinePathTree> modelTree;
    int last = 0;
};

Notebook& Book() {
    // Destroyed at exit, which removes the temporary folder.
    static const std::unique_ptr<Notebook> book = [] {
        auto b = std::make_unique<Notebook>();
        const std::string body = Utf8ToGb18030(std::string(40, ' ') + "今天记下的一段笔记，" +
                                               "内容不长，但足以让记录有个寻常的大小。\r\n");
        std::string bodyText;
        while (bodyText.size() < 600) bodyText += body;
        std::string image = Record(Utf8ToGb18030("笔记本"), 1, {});
        int count = 1;
        for (int top = 0; top < kTopLevel; ++top, ++count) {
            image += Record(Utf8ToGb18030("分类" + std::to_string(top)), 2, bodyText);
            for (int child = 0; child < kChildren; ++child, ++count)
                image += Record(Utf8ToGb18030("笔记" + std::to_string(child)), 3, bodyText);
        }
        const std::string path = b->dir.File("notebook.qm");
        testing::WriteFileBytes(path, image);
        b->store = std::make_unique<TreeStore>(b->dir.path());
        if (!b->store->Open(path)) {
            std::fprintf(stderr, "cannot open the generated notebook\n");
            std::abort();
        }
        b->model = std::make_unique<OutlineModel>(b->store.get());
        b->model->reload();
        if (b->model->nodeCount() != count) std::abort();
        b->storeTree = std::make_unique<StorePathTree>(b->store.get());
        b->modelTree = std::make_unique<OutlinePathTree>(b->model.get());
        b->last = count - 1;
        return b;
    }();
    return *book;
}

double Seconds(std::chrono::steady_clock::time_point from) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
}

// Times `op` over the model and, outside the measured time, the same over the store.
template <class Op>
void Measure(benchmark::State& state, Op op) {
    Notebook& book = Book();
    double modelSeconds = 0;
    double storeSeconds = 0;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(op(*book.modelTree));
        modelSeconds += Seconds(start);
        state.PauseTiming();
        start = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(op(*book.storeTree));
        storeSeconds += Seconds(start);
        state.ResumeTiming();
    }
    state.counters["x_store"] = modelSeconds / storeSeconds;
}

void BM_PathOfLastNote(benchmark::State& state) {
    const int last = Book().last;
    Measure(state, [last](const PathTree& tree) { return NotePath(tree, last); });
}
BENCHMARK(BM_PathOfLastNote);

void BM_ResolveLastNote(benchmark::State& state) {
    const std::string path = NotePath(*Book().modelTree, Book().last);
    Measure(state, [&path](const PathTree& tree) { return ResolvePath(tree, path); });
}
BENCHMARK(BM_ResolveLastNote);

void BM_ResolveMissingPiece(benchmark::State& state) {
    // The walk scans every child of the root and finds nothing.
    const std::string path = Utf8ToGb18030("QM:\\没有这一篇\\笔记0");
    Measure(state, [&path](const PathTree& tree) { return ResolvePath(tree, path); });
}
BENCHMARK(BM_ResolveMissingPiece);

}  // namespace
}  // namespace qm

BENCHMARK_MAIN();
