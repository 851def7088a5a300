// A real program session on a temporary program folder, for the tests of loading, saving and
// backups: the notebook is prepared on disk, the window is started offscreen, notes are chosen
// the way a click chooses them, and the window can be closed and started again on the same
// folder.
#pragma once

#include <QString>
#include <QtTest>
#include <memory>
#include <string>
#include <vector>

#include "app/notes/note_session.h"
#include "app/trees/note_tree_view.h"
#include "app/trees/note_trees.h"
#include "app/widgets/message_box.h"
#include "app/window/main_window.h"
#include "app/window/program.h"
#include "common/qt_text.h"
#include "editor/note_editor.h"
#include "settings/settings_store.h"
#include "store/tree_store.h"
#include "support/durable_bytes.h"
#include "support/temp_dir.h"

namespace qm::testing {

class NoteWindow {
public:
    NoteWindow() : folder_(std::make_unique<TempDir>()), config_(std::make_unique<TempDir>()) {
        options_.programFolder = QString::fromStdString(folder_->path());
        options_.executablePath = QStringLiteral("/opt/qm/corvanel");
        options_.autostartFolder = QString::fromStdString(config_->File("autostart"));
        options_.trayAvailable = true;
    }
    ~NoteWindow() { session_.reset(); }

    // A notebook of a root and `notes` notes below it, titled 笔记0, 笔记1, ...; note i is
    // node i + 1. `fields` may give a note its own values (by node index).
    void writeNotebook(int notes, int nodeWithFields = -1, const NodeFields& fields = {}) {
        TreeStore store(folder_->path());
        store.Open(file("笔记本.qm"));
        store.BuildOutline();
        NodeFields root;
        root.title = ToGb(QStringLiteral("笔记本"));
        root.image = 2;
        store.AddNode(std::nullopt, root);
        for (int i = 0; i < notes; ++i) {
            NodeFields note = i + 1 == nodeWithFields ? fields : NodeFields{};
            note.title = ToGb(QStringLiteral("笔记%1").arg(i));
            note.image = 1;
            store.AddNode(0, note);
        }
    }
    void writeSettings(const QString& text) {
        WriteFileBytes(file("Quelmar·Corvanel.ini"), ToGb(text));
    }

    MainWindow& start() {
        session_ = std::make_unique<Session>(options_);
        session_->window().startUp();
        return session_->window();
    }
    // Ends the session as "退出软件" does and starts a new one on the same folder.
    MainWindow& restart() {
        session_->window().exitProgram();
        session_.reset();
        return start();
    }
    void stop() { session_.reset(); }

    MainWindow& window() { return session_->window(); }
    SettingsStore& settingsStore() { return session_->settings(); }
    NoteSession& notes() { return *window().noteSession(); }
    NoteEditor& editor() { return *window().editor(); }
    TreeStore& notebook() { return window().trees()->notebook(); }
    NoteTreeView& view() { return *window().trees()->notebookView(); }

    // Chooses a note in the notebook tree as a click does (the selection-changed path).
    void click(int node) { QVERIFY(view().selectNode(node)); }
    void type(const QString& text) { editor().setText(ToGb(text)); }
    QString shown() { return FromGb(editor().getText()); }

    std::string file(const std::string& name) const { return folder_->File(name); }
    const std::string& folder() const { return folder_->path(); }
    std::string settingsBytes() const { return ReadFileBytes(file("Quelmar·Corvanel.ini")); }
    bool settingsHold(const QString& entry) const {
        return settingsBytes().find(ToGb(entry)) != std::string::npos;
    }

    // The fields of every record of the notebook file on disk.
    std::vector<std::vector<std::string>> records() const {
        const std::string image = DurableBytes(file("笔记本.qm"));
        const std::string sep("\x1e\x1e");
        std::vector<std::vector<std::string>> out;
        size_t start = 0;
        for (size_t end = image.find('\0'); end != std::string::npos;
             start = end + 1, end = image.find('\0', start)) {
            const std::string record = image.substr(start, end - start);
            std::vector<std::string> fields;
            size_t from = 0;
            for (size_t at = record.find(sep); at != std::string::npos;
                 from = at + sep.size(), at = record.find(sep, from)) {
                fields.push_back(record.substr(from, at - from));
            }
            fields.push_back(record.substr(from));
            out.push_back(fields);
        }
        return out;
    }
    // Field `number` (1-based) of node `node` as stored in the file.
    std::string field(int node, int number) const {
        const auto all = records();
        if (node < 0 || node >= static_cast<int>(all.size())) return "<no record>";
        if (number < 1 || number > static_cast<int>(all[node].size())) return "<no field>";
        return all[node][number - 1];
    }

    StartOptions& options() { return options_; }

private:
    std::unique_ptr<TempDir> folder_;
    std::unique_ptr<TempDir> config_;
    StartOptions options_;
    std::unique_ptr<Session> session_;
};

}  // namespace qm::testing
