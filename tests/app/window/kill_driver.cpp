// Drives the real window the way a busy user does, to be killed at a random moment, and checks
// the notebook that the kill left (scripts/kill_test.sh runs it hundreds of times).
//
//   kill_driver generate FOLDER NOTES      a program folder with a generated notebook
//   kill_driver run FOLDER LEDGER SEED     types, switches, creates, renames, moves, deletes and
//                                          checkpoints until killed; every step that returned
//                                          is appended to LEDGER
//   kill_driver check FOLDER ORIGINAL LEDGER KILL_MS
//                                          the notebook holds every step that returned, and the
//                                          typed notes everything typed 2.5 s before KILL_MS
//
// Generated notes "笔记 <i> note" are named g<i> in the ledger; the notes the driver creates
// are titled k<n>. Typing goes to the end of generated notes only, always the same sequence of
// characters, so a typed note's body is its generated body followed by a prefix of that
// sequence. Ledger lines (ms: the wall clock in milliseconds):
//   B <step>               a step begins (the last one may be cut off by the kill)
//   N k<n> <parent>        a new note under <parent> (g<i> or root)
//   R k<old> k<new>        a rename
//   M k<n> <parent>        a cut and paste, ending under <parent>
//   D k<n>                 a delete into the recycle bin
//   K g<i> <count> <ms>    <count> characters typed into g<i> so far
//   S g<i> <count>         g<i> was switched away from (and so saved) holding <count> characters
//   W <note> <ms>          an automatic save of the loaded note returned
#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/notes/auto_save.h"
#include "app/notes/checkpoint_scheduler.h"
#include "app/notes/note_session.h"
#include "app/tree_commands/title_editor.h"
#include "app/tree_commands/tree_commands.h"
#include "app/trees/note_tree_view.h"
#include "app/trees/note_trees.h"
#include "app/widgets/message_box.h"
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

constexpr int kMaxBurst = 3;  // characters typed in one step

// The characters typed into every note, in this order, again and again.
const QString& TypedSequence() {
    static const QString s = QStringLiteral("abc中文de，fgh笔记ij ");
    return s;
}

std::string Typed(int count) {
    QString text;
    for (int i = 0; i < count; ++i) text += TypedSequence()[i % TypedSequence().size()];
    return ToGb(text);
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

long long NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// "笔记 <i> note" -> "g<i>", "k..." stays, the root "笔记本" -> "root"; anything else "?".
std::string RefOf(const std::string& title) {
    const std::string prefix = "\xB1\xCA\xBC\xC7 ";
    if (title == "\xB1\xCA\xBC\xC7\xB1\xBE") return "root";
    if (title.rfind(prefix, 0) == 0) {
        const size_t end = title.find(' ', prefix.size());
        return "g" + title.substr(prefix.size(), end - prefix.size());
    }
    if (!title.empty() && title[0] == 'k') return title;
    return "?";
}

// The titles and parents of a store's nodes, by index.
struct TreeShape {
    std::vector<std::string> refs;
    std::vector<int> parents;  // -1 for top-level nodes

    static TreeShape Of(TreeStore& store) {
        TreeShape shape;
        std::vector<int> stack;  // open ancestors
        std::vector<int> depths;
        const int n = store.NodeCount();
        for (int i = 0; i < n; ++i) {
            const int depth = ParseIntField(store.GetField(i, kFieldDepth));
            while (!stack.empty() && depths[stack.back()] >= depth) stack.pop_back();
            shape.refs.push_back(RefOf(store.GetField(i, kFieldTitle)));
            shape.parents.push_back(stack.empty() ? -1 : stack.back());
            depths.push_back(depth);
            stack.push_back(i);
        }
        return shape;
    }
    int find(const std::string& ref) const {
        for (size_t i = 0; i < refs.size(); ++i) {
            if (refs[i] == ref) return static_cast<int>(i);
        }
        return -1;
    }
    std::string parentRef(int i) const { return parents[i] < 0 ? "none" : refs[parents[i]]; }
};

// ---------------------------------------------------------------------------------------------
// generate

int Generate(const std::string& folder, int notes) {
    std::filesystem::create_directories(folder);
    const std::string image =
        bench::GenerateNotebookImage(notes, 8, 20240501, TimeText(std::time(nullptr)));
    std::ofstream(folder + "/笔记本.qm", std::ios::binary)
        .write(image.data(), static_cast<std::streamsize>(image.size()));
    std::ofstream(folder + "/Quelmar·Corvanel.ini", std::ios::binary)
        << ToGb(QStringLiteral("[主界面]\r\n触发备份的保存数=1000000000\r\n"));
    return 0;
}

// ---------------------------------------------------------------------------------------------
// run

class Driver {
public:
    Driver(const std::string& folder, const std::string& ledger, unsigned seed) : rng_(seed) {
        ledger_ = open(ledger.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (ledger_ < 0) std::abort();
        MessageBox::setAnswerInAdvance(true);
        StartOptions options;
        options.programFolder = QString::fromStdString(folder);
        options.executablePath = QStringLiteral("/opt/qm/corvanel");
        options.autostartFolder = QString::fromStdString(folder + "/autostart");
        options.trayAvailable = false;
        session_ = std::make_unique<Session>(options);
        window().startUp();
        // Checkpoints often: after 200 quiet ms, and whenever the log passes 16 KB.
        scheduler_ = window().findChild<CheckpointScheduler*>();
        if (scheduler_ == nullptr) std::abort();
        scheduler_->setIdleDelay(200);
        store().SetCheckpointLogLimit(16 << 10);
        // Automatic saves go into the ledger too, to tell a late save from a lost one.
        QObject::connect(window().autoSave(), &AutoSave::saved,
                         [this] { write("W " + loadedRef() + " " + std::to_string(NowMs())); });
        QObject::connect(&steps_, &QTimer::timeout, [this] { step(); });
        steps_.start(15);
    }

private:
    MainWindow& window() { return session_->window(); }
    TreeStore& store() { return window().trees()->notebook(); }
    NoteSession& notes() { return *window().noteSession(); }
    TreeCommands& commands() { return *window().treeCommands(); }

    void write(const std::string& line) {
        const std::string text = line + "\n";
        if (::write(ledger_, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
            std::abort();
        }
    }

    [[noreturn]] static void fail(const std::string& what) {
        std::fprintf(stderr, "kill_driver: %s\n", what.c_str());
        std::exit(3);
    }

    std::string loadedRef() {
        const int loaded = notes().loadedNote();
        return loaded < 0 ? "" : RefOf(store().GetField(loaded, kFieldTitle));
    }

    // A selection change as a click makes it; the note left behind was saved by it.
    void select(int node) {
        const std::string left = loadedRef();
        window().trees()->notebookView()->selectNode(node);
        QCoreApplication::processEvents();
        noteSwitched(left);
    }
    void noteSwitched(const std::string& left) {
        if (left.rfind('g', 0) == 0 && loadedRef() != left) {
            write("S " + left + " " + std::to_string(typed_[left]));
        }
    }

    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }

    int randomGenerated(const TreeShape& shape) {
        for (;;) {
            const int i = pick(static_cast<int>(shape.refs.size()));
            if (shape.refs[i][0] == 'g') return i;
        }
    }
    int randomCreated(const TreeShape& shape) {
        std::vector<int> created;
        for (size_t i = 0; i < shape.refs.size(); ++i) {
            if (shape.refs[i][0] == 'k') created.push_back(static_cast<int>(i));
        }
        return created.empty() ? -1 : created[pick(static_cast<int>(created.size()))];
    }

    void type() {
        const std::string ref = loadedRef();
        if (ref.rfind('g', 0) != 0) return;
        int& count = typed_[ref];
        const int loaded = notes().loadedNote();
        if (!checkedText_.count(ref)) {
            // The editor shows the generated body and what was typed before.
            checkedText_.insert(ref);
            const std::string expected = original(loaded) + Typed(count);
            if (notes().editor()->getText() != expected) fail(ref + " shows a wrong text");
        }
        QWidget* view = notes().editor()->focusProxy();
        QTest::keyClick(view, Qt::Key_End, Qt::ControlModifier);
        const int burst = 1 + pick(kMaxBurst);
        QString keys;
        for (int i = 0; i < burst; ++i)
            keys += TypedSequence()[(count + i) % TypedSequence().size()];
        TypeText(view, keys);
        count += burst;
        write("K " + ref + " " + std::to_string(count) + " " + std::to_string(NowMs()));
    }

    // The generated body of a note, read before anything was typed into it (each run starts
    // from a fresh copy of the notebook).
    std::string original(int node) {
        const std::string ref = RefOf(store().GetField(node, kFieldTitle));
        auto found = originals_.find(ref);
        if (found == originals_.end()) {
            found = originals_.emplace(ref, store().GetField(node, kFieldBody)).first;
        }
        return found->second;
    }

    // One step; the event processing inside a step must not start the next one.
    void step() {
        if (busy_) return;
        busy_ = true;
        stepOnce();
        busy_ = false;
    }

    void stepOnce() {
        steps_.setInterval(15);
        const int p = pick(100);
        if (p < 55) return type();
        if (p < 62) {  // wait a little, as a user pauses
            steps_.setInterval(15 + pick(3) * 400);
            return;
        }
        const TreeShape shape = TreeShape::Of(store());
        if (p < 74) {
            select(randomGenerated(shape));
        } else if (p < 80) {
            const int parent = randomGenerated(shape);
            const std::string title = "k" + std::to_string(next_++);
            write("B N " + title + " " + shape.refs[parent]);
            const std::string left = loadedRef();
            const int added = commands().newNote(parent, true);
            if (added < 0) return;
            commands().titleEditor()->cancel();
            noteSwitched(left);
            if (!commands().renameNote(added, QString::fromStdString(title)))
                fail("rename refused");
            write("N " + title + " " + shape.refs[parent]);
        } else if (p < 85) {
            const int node = randomCreated(shape);
            if (node < 0) return;
            const std::string title = "k" + std::to_string(next_++);
            write("B R " + shape.refs[node] + " " + title);
            if (!commands().renameNote(node, QString::fromStdString(title))) fail("rename refused");
            write("R " + shape.refs[node] + " " + title);
        } else if (p < 92) {
            const int node = randomCreated(shape);
            if (node < 0) return;
            const std::string ref = shape.refs[node];
            select(node);
            commands().cutNote();
            const int target = randomGenerated(shape);
            const bool sibling = pick(2) == 0;
            const std::string to = sibling ? shape.parentRef(target) : shape.refs[target];
            select(target);
            write("B M " + ref + " " + to);
            const bool pasted = commands().pasteNote(sibling);
            QCoreApplication::processEvents();
            const TreeShape after = TreeShape::Of(store());
            const int at = after.find(ref);
            if (at < 0 || (pasted && after.parentRef(at) != to)) {
                fail("paste put " + ref + (sibling ? " beside " : " under ") + shape.refs[target] +
                     " under " + (at < 0 ? "nothing" : after.parentRef(at)) + ", not " + to);
            }
            write((pasted ? "M " : "X ") + ref + " " + after.parentRef(at));
        } else if (p < 96) {
            const int node = randomCreated(shape);
            if (node < 0) return;
            const std::string ref = shape.refs[node];
            select(node);
            write("B D " + ref);
            if (commands().deleteNote() != 1) fail("delete refused");
            QCoreApplication::processEvents();
            write("D " + ref);
        } else {
            scheduler_->startNow();
        }
    }

    std::mt19937 rng_;
    int ledger_ = -1;
    std::unique_ptr<Session> session_;
    CheckpointScheduler* scheduler_ = nullptr;
    QTimer steps_;
    std::map<std::string, int> typed_;
    std::map<std::string, std::string> originals_;
    std::set<std::string> checkedText_;
    int next_ = 1;
    bool busy_ = false;
};

// ---------------------------------------------------------------------------------------------
// check

struct Ledger {
    std::map<std::string, std::string> created;  // k-note -> parent ref, after every whole step
    std::set<std::string> deleted;
    std::vector<std::string> pending;  // the step begun and not ended, split into words
    std::map<std::string, int> saved;  // g-note -> characters a switch saved
    std::map<std::string, std::vector<std::pair<int, long long>>> typed;
};

Ledger ReadLedger(const std::string& path) {
    Ledger l;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (in.eof()) break;  // a line the kill cut short
        std::istringstream words(line);
        std::string kind, a, b, c;
        words >> kind >> a >> b >> c;
        if (kind == "B") {
            l.pending = {a, b, c};
            continue;
        }
        if (kind == "N" || kind == "M") l.created[a] = b;
        if (kind == "R") {
            l.created[b] = l.created[a];
            l.created.erase(a);
        }
        if (kind == "D") {
            l.created.erase(a);
            l.deleted.insert(a);
        }
        if (kind == "S") l.saved[a] = std::max(l.saved[a], std::stoi(b));
        if (kind == "K") l.typed[a].push_back({std::stoi(b), std::stoll(c)});
        if (kind == "N" || kind == "M" || kind == "R" || kind == "D" || kind == "X")
            l.pending.clear();
    }
    return l;
}

int Fail(const std::string& what) {
    std::fprintf(stderr, "kill check: %s\n", what.c_str());
    return 1;
}

int Check(const std::string& folder, const std::string& originalPath, const std::string& ledgerPath,
          long long killMs) {
    const Ledger ledger = ReadLedger(ledgerPath);
    // Opened for writing, as the next start opens it: recovery replays the log.
    TreeStore notebook(folder);
    if (!notebook.Open(folder + "/笔记本.qm")) return Fail("the notebook does not open");
    const TreeShape shape = TreeShape::Of(notebook);

    std::map<std::string, std::string> found;
    int strangers = 0;
    for (size_t i = 0; i < shape.refs.size(); ++i) {
        const std::string& ref = shape.refs[i];
        if (ref[0] == 'k') {
            if (found.count(ref)) return Fail("two notes titled " + ref);
            found[ref] = shape.parentRef(static_cast<int>(i));
        } else if (ref == "?") {
            ++strangers;
        }
    }
    // The created notes are those of every step that returned, with the cut-off step either
    // done or not.
    std::map<std::string, std::string> after = ledger.created;
    const std::vector<std::string>& p = ledger.pending;
    bool untitledAllowed = false;
    if (!p.empty()) {
        // N: added (untitled until its rename) or not; R: old name or new; M: old parent or
        // the new one; D: there or gone.
        const std::string& kind = p[0];
        const std::string& ref = p[1];
        if (kind == "N") {
            untitledAllowed = true;
            if (found.count(ref)) after[ref] = p[2];
        }
        if (kind == "R" && found.count(p[2]) && after.count(ref)) {
            after[p[2]] = after[ref];
            after.erase(ref);
        }
        if (kind == "M" && found.count(ref) && found[ref] == p[2]) after[ref] = p[2];
        if (kind == "D" && !found.count(ref)) after.erase(ref);
    }
    if (strangers > (untitledAllowed ? 1 : 0)) return Fail("an untitled note is left");
    if (found != after) {
        std::string text = "created notes differ; expected:";
        for (const auto& [ref, parent] : after) text += " " + ref + "<" + parent;
        text += "; found:";
        for (const auto& [ref, parent] : found) text += " " + ref + "<" + parent;
        return Fail(text);
    }

    // A kill during start-up may come before the recycle bin exists.
    TreeStore bin(folder);
    const std::string binPath = folder + "/回收站.qm";
    if (std::filesystem::exists(binPath) && !bin.Load(binPath)) {
        return Fail("the recycle bin does not load");
    }
    const TreeShape binShape = TreeShape::Of(bin);
    for (const std::string& ref : ledger.deleted) {
        if (binShape.find(ref) < 0) return Fail(ref + " was deleted but is not in the recycle bin");
    }

    TreeStore original(folder);
    if (!original.Load(originalPath)) return Fail("the original does not load");
    const TreeShape originalShape = TreeShape::Of(original);
    for (const auto& [ref, keys] : ledger.typed) {
        int least = ledger.saved.count(ref) ? ledger.saved.at(ref) : 0;
        for (const auto& [count, ms] : keys) {
            if (ms <= killMs - 2500) least = std::max(least, count);
        }
        const int most = keys.back().first + kMaxBurst;
        const int at = shape.find(ref);
        const int was = originalShape.find(ref);
        if (at < 0 || was < 0) return Fail(ref + " is missing");
        const std::string base = original.GetField(was, kFieldBody);
        const std::string body = notebook.GetField(at, kFieldBody);
        if (body.compare(0, base.size(), base) != 0) return Fail(ref + ": its own text changed");
        const std::string tail = body.substr(base.size());
        int held = -1;
        for (int n = least; n <= most; ++n) {
            if (Typed(n) == tail) held = n;
        }
        if (held < 0) {
            return Fail(ref + ": holds " + std::to_string(tail.size()) + " typed bytes; at least " +
                        std::to_string(least) + " characters expected (typed " +
                        std::to_string(keys.back().first) + ")");
        }
    }
    std::printf("ok: %zu created notes, %zu deleted, %zu typed notes\n", after.size(),
                ledger.deleted.size(), ledger.typed.size());
    return 0;
}

}  // namespace
}  // namespace qm

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 3 && args[0] == "generate") return qm::Generate(args[1], std::stoi(args[2]));
    if (args.size() == 5 && args[0] == "check") {
        return qm::Check(args[1], args[2], args[3], std::stoll(args[4]));
    }
    if (args.size() == 4 && args[0] == "run") {
        qputenv("QT_QPA_PLATFORM",
                qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
        QApplication app(argc, argv);
        qm::Driver driver(args[1], args[2], static_cast<unsigned>(std::stoul(args[3])));
        return app.exec();
    }
    std::fprintf(stderr,
                 "usage: kill_driver generate FOLDER NOTES | run FOLDER LEDGER SEED | "
                 "check FOLDER ORIGINAL LEDGER KILL_MS\n");
    return 2;
}
