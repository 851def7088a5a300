// The window at the edges of what a notebook may hold: a note of 200 MB, a note of a million
// short lines, a title of 100 KB, a tree 1,000 levels deep and a notebook of 500,000 notes. For
// each, every step a user takes runs in the real window (offscreen) and is timed: start-up with
// the large note selected and shown, typing into it, saving it (F12), switching away and back,
// a search of titles and bodies that finds nothing, expanding the whole tree, adding a note
// under the root and deleting it, deleting the case's note into the recycle bin, and closing.
// Each step's "_freeze_ms" is the longest the window left a posted event unanswered while it ran
// (a step that waits for a worker answers meanwhile); "longest_step_ms" is the longest single
// freeze of the window over all steps (goal: under 1000 ms).
//
// Each notebook is generated into a temporary folder, removed after its run.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEvent>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include "answer_probe.h"
#include "app/notes/note_session.h"
#include "app/search/search_bar.h"
#include "app/search/search_controller.h"
#include "app/tree_commands/tree_commands.h"
#include "app/trees/note_tree_view.h"
#include "app/trees/note_trees.h"
#include "app/trees/outline_model.h"
#include "app/window/main_window.h"
#include "app/window/program.h"
#include "common/qt_text.h"
#include "editor/note_editor.h"
#include "notebook_generator.h"
#include "store/record_format.h"
#include "store/time_text.h"
#include "store/tree_store.h"

namespace qm {
namespace {

std::string Record(const std::string& title, int depth, const std::string& body) {
    RecordFields f;
    f[0] = title;
    f[1] = f[2] = depth == 1 ? "2" : "1";
    f[3] = f[4] = "0";
    f[5] = std::to_string(depth);
    f[6] = body;
    f[8] = f[9] = "0";
    f[10] = f[11] = f[12] = TimeText(std::time(nullptr));
    return JoinRecord(f);
}

const std::string kRootTitle = "\xB1\xCA\xBC\xC7\xB1\xBE";  // 笔记本

// A notebook image and the note a user works on in it.
struct Case {
    std::string image;
    int note = 1;
};

// A root and three notes, the middle one holding `body` under `title`.
Case AroundOneNote(const std::string& title, const std::string& body) {
    std::mt19937 rng(3);
    Case c;
    c.image = Record(kRootTitle, 1, "") + Record("before", 2, bench::RandomBody(&rng)) +
              Record(title, 2, body) + Record("after", 2, bench::RandomBody(&rng));
    c.note = 2;
    return c;
}

Case LargeBody() {
    std::mt19937 rng(1);
    std::string body;
    body.reserve(200u << 20);
    while (body.size() < (200u << 20)) body += bench::RandomBody(&rng);
    return AroundOneNote("large", body);
}

Case MillionLines() {
    std::string body;
    for (int i = 0; i < 1000000; ++i) body += "line " + std::to_string(i) + "\r\n";
    return AroundOneNote("lines", body);
}

Case LongTitle() {
    std::string title;
    while (title.size() < 100 * 1024) title += "\xB3\xA4\xB1\xEA\xCC\xE2 long title ";
    return AroundOneNote(title, "body");
}

Case DeepTree() {
    Case c;
    c.image = Record(kRootTitle, 1, "");
    std::mt19937 rng(2);
    for (int depth = 2; depth <= 1001; ++depth) {
        c.image += Record("level " + std::to_string(depth), depth, bench::RandomBody(&rng));
    }
    c.note = 1000;
    return c;
}

Case ManyNotes() {
    Case c;
    c.image = bench::GenerateNotebookImage(500000, 12, 20240501, TimeText(std::time(nullptr)));
    c.note = 499999;
    return c;
}

// Types `text` into `widget` key by key, as a keyboard or an input method delivers it.
void TypeText(QWidget* widget, const QString& text) {
    for (const QChar c : text) {
        const Qt::Key key = c.unicode() < 128 && c.isLetter()
                                ? static_cast<Qt::Key>(c.toUpper().unicode())
                                : Qt::Key_unknown;
        QTest::sendKeyEvent(QTest::Press, widget, key, QString(c), Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, widget, key, QString(c), Qt::NoModifier);
    }
}

void Run(benchmark::State& state, Case (*make)()) {
    std::string folder = "/var/tmp/qm-bounds-bench-XXXXXX";
    if (mkdtemp(folder.data()) == nullptr) std::abort();
    int note = 0;
    {
        const Case c = make();
        note = c.note;
        std::ofstream(folder + "/笔记本.qm", std::ios::binary)
            .write(c.image.data(), static_cast<std::streamsize>(c.image.size()));
        state.counters["file_MB"] = c.image.size() / 1e6;
    }
    std::ofstream(folder + "/Quelmar·Corvanel.ini", std::ios::binary) << ToGb(
        QStringLiteral("[主界面]\r\n触发备份的保存数=1000000000\r\n树型框选中项=%1\r\n").arg(note));
    double longest = 0;
    // Runs one step and keeps its time as a counter, and as "<step>_freeze_ms" the longest the
    // window left a posted event waiting meanwhile: a step that waits for a worker while the
    // window answers does not freeze it for its whole time.
    auto step = [&](const std::string& name, const std::function<void()>& what) {
        bench::AnswerProbe probe;
        QElapsedTimer t;
        t.start();
        probe.start();
        what();
        const double ms = t.nsecsElapsed() / 1e6;
        probe.stop();
        QCoreApplication::processEvents();  // answers the probe's last event
        state.counters[name + "_ms"] = ms;
        state.counters[name + "_freeze_ms"] = probe.longestMs();
        longest = std::max(longest, probe.longestMs());
    };
    for (auto _ : state) {
        std::unique_ptr<Session> session;
        step("start", [&] {
            StartOptions options;
            options.programFolder = QString::fromStdString(folder);
            options.executablePath = QStringLiteral("/opt/qm/corvanel");
            options.autostartFolder = QString::fromStdString(folder + "/autostart");
            options.trayAvailable = false;
            session = std::make_unique<Session>(options);
            session->window().resize(1000, 700);
            session->window().startUp();
            QCoreApplication::processEvents();
        });
        MainWindow& window = session->window();
        NoteSession& notes = *window.noteSession();
        if (notes.loadedNote() != note) state.SkipWithError("the note is not loaded");
        QWidget* editor = notes.editor()->focusProxy();
        step("type", [&] {
            QTest::keyClick(editor, Qt::Key_End, Qt::ControlModifier);
            TypeText(editor, QStringLiteral("中文abc"));
            QCoreApplication::processEvents();
        });
        step("save", [&] { notes.saveCurrentNote(true); });
        const std::string typed = ToGb(QStringLiteral("中文abc"));
        const std::string& saved = notes.loadedText();
        if (saved.size() < typed.size() ||
            saved.compare(saved.size() - typed.size(), typed.size(), typed) != 0) {
            state.SkipWithError("the typed text is not saved");
        }
        step("switch_away", [&] {
            window.trees()->notebookView()->selectNode(0);
            QCoreApplication::processEvents();
        });
        step("switch_back", [&] {
            window.trees()->notebookView()->selectNode(note);
            QCoreApplication::processEvents();
        });
        SearchController& search = *window.search();
        search.bar()->queryBox()->setEditText(QStringLiteral("zqxjv"));
        search.bar()->includeBodiesBox()->setChecked(true);
        window.trees()->notebookView()->selectNode(0);
        QCoreApplication::processEvents();
        step("search", [&] {
            search.searchTree();
            while (search.treeSearchRunning()) {
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
            }
        });
        NoteTreeView& view = *window.trees()->notebookView();
        OutlineModel& model = *window.trees()->notebookModel();
        // Opens the tree slice by slice; the step lasts until the last slice is laid out.
        step("expand_all", [&] {
            view.expandAll();
            while (view.isExpanding()) {
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
            }
            QCoreApplication::processEvents();
        });
        for (int node = model.nodeCount() - 1; node >= 0; --node) {
            const QModelIndex index = model.indexOfNode(node);
            if (!model.hasChildren(index)) continue;
            if (!view.isExpanded(index)) state.SkipWithError("expandAll left an item closed");
            break;
        }
        // A note added under the root of the opened tree, then deleted into the recycle bin.
        view.selectNode(0);
        QCoreApplication::processEvents();
        TreeCommands& commands = *window.treeCommands();
        int added = -1;
        step("new_note", [&] {
            added = commands.newChildNote();
            QCoreApplication::processEvents();
        });
        if (added < 0 || view.selectedNode() != added) state.SkipWithError("no new note");
        step("delete_note", [&] {
            if (commands.deleteNote() != 1) state.SkipWithError("the new note is not deleted");
            QCoreApplication::processEvents();
        });
        // The case's own note goes into the recycle bin and the next one is shown.
        view.selectNode(note);
        QCoreApplication::processEvents();
        step("delete_shown_note", [&] {
            if (commands.deleteNote() < 1) state.SkipWithError("the shown note is not deleted");
            QCoreApplication::processEvents();
        });
        // The close writes the tree files on a worker while the window answers.
        step("close", [&] { session.reset(); });
    }
    state.counters["longest_step_ms"] = longest;
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

}  // namespace
}  // namespace qm

int main(int argc, char** argv) {
    using namespace qm;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    const std::pair<const char*, Case (*)()> cases[] = {
        {"Bounds/title_100KB", LongTitle}, {"Bounds/depth_1000", DeepTree},
        {"Bounds/lines_1M", MillionLines}, {"Bounds/body_200MB", LargeBody},
        {"Bounds/notes_500k", ManyNotes},
    };
    for (const auto& [name, make] : cases) {
        auto* fn = make;
        benchmark::RegisterBenchmark(name, [fn](benchmark::State& s) { Run(s, fn); })
            ->Unit(benchmark::kMillisecond)
            ->Iterations(1);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
