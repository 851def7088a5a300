// The main window: wires the toolbar, the note trees, the splitter, the editor area, the
// settings menu and the tray icon together, and runs start-up, closing and exit. The
// features live in their own classes; what later work fills in is marked by the signals
// saveCurrentNoteRequested, showSelectedNoteRequested and backupNowRequested.
#pragma once

#include <QMainWindow>
#include <optional>

#include "app/frame/window_layout.h"
#include "app/window/start_options.h"

namespace qm {

class AutoTyping;
class AutostartEntry;
class AutoSave;
class Backup;
class CheckpointScheduler;
class DropTarget;
class CalculatorButton;
class EditorPane;
class FolderTransfer;
class MainToolBar;
class NoteEditor;
class NoteLinks;
class NoteProperties;
class NoteSession;
class NoteTrees;
class PathCommands;
class SearchController;
class SettingsMenu;
class SettingsStore;
class SpeechReading;
class SplitterHandle;
class TagPane;
class TrayIcon;
class TreeCommands;
class TreeMenus;
class WriteFailureWatch;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    static const char* const kCaption;

    // Creates the widgets and restores the saved window settings (check marks, tool bars,
    // splitter) from `settings`, which must outlive the window; keeps the autostart entry in
    // step. Shows nothing and opens no tree yet: see startUp().
    MainWindow(SettingsStore* settings, const StartOptions& options);
    ~MainWindow() override;

    // Shows the window (or leaves it in the tray for a hidden start; minimized where there
    // is no tray), then runs the first-activation steps: opens the recycle bin and the
    // notebook, reselects the last note, restores the placement, settles the autostart
    // entry. Returns false when the notebook has no root and cannot get one: the warning has
    // been shown, the tray icon removed and programEnded(1) emitted.
    bool startUp();

    // Brings the window back from the tray (or from minimized) to the front with the focus.
    void showFromTray();
    // "退出软件": saves like a close, then ends the program whatever "关闭窗口到托盘" says.
    void exitProgram();
    // "重新运行本软件": exits as exitProgram does, asking for a new start first.
    void restartProgram();
    // A shutdown signal or the session's end: exits as exitProgram does without asking anyone;
    // changes that cannot be written go to a copy in the home or temporary folder.
    void shutDown();
    // Before the window goes: brings the tree files up to date from their logs on a worker,
    // answering meanwhile, so the stores' own close has nothing left to write.
    void finishWrites();

    // Sets the check state of toolbar button `index` (toggles it when `show` is not given),
    // writes "工具条显示.<index>" unless `persist` is false, and lays out again. Returns false
    // and changes nothing when there is no check button at that index.
    bool toggleToolBar(int index, std::optional<bool> show = std::nullopt, bool persist = true);
    // Places every part of the window for its current size.
    void relayout();
    // The splitter's left edge moved to `left`: stored as "分隔条左边", then laid out.
    void moveSplitter(int left);
    // Shows or hides the recycle-bin tree below the notebook (not remembered).
    void toggleRecycleBin();
    // Sets every check button of the toolbar from its "工具条显示.<index>" key, without
    // writing back. Runs at the end of the constructor, once the features' buttons exist.
    void restoreToolBars();

    // The parts, for the features that plug in and for tests.
    WindowLayout& windowLayout() { return layout_; }
    MainToolBar* toolBar() const { return toolBar_; }
    NoteTrees* trees() const { return trees_; }
    SettingsMenu* settingsMenu() const { return settingsMenu_; }
    TrayIcon* trayIcon() const { return tray_; }
    TreeCommands* treeCommands() const { return treeCommands_; }
    TreeMenus* treeMenus() const { return treeMenus_; }
    QWidget* editorArea() const { return editorArea_; }
    SplitterHandle* splitter() const { return splitter_; }
    const StartOptions& options() const { return options_; }
    NoteEditor* editor() const;
    NoteSession* noteSession() const { return noteSession_; }
    Backup* backup() const { return backup_; }
    AutoSave* autoSave() const { return autoSave_; }
    PathCommands* paths() const { return paths_; }
    SearchController* search() const { return search_; }
    FolderTransfer* transfer() const { return transfer_; }
    CalculatorButton* calculator() const { return calculator_; }
    NoteLinks* links() const { return links_; }
    AutoTyping* typing() const { return typing_; }
    SpeechReading* speech() const { return speech_; }
    TagPane* tags() const { return tags_; }
    NoteProperties* properties() const { return properties_; }
    WriteFailureWatch* writeWatch() const { return writeWatch_; }

signals:
    // Save the note shown in the editor; `force`: even when its text looks unchanged. Sent
    // at every close, hide to the tray and exit, before anything else happens.
    void saveCurrentNoteRequested(bool force);
    // The notebook selection changed (or the start-up selected item 0): load that note.
    void showSelectedNoteRequested();
    // "现在执行一次备份" was chosen.
    void backupNowRequested();
    // "重新运行本软件": the program is to start again once it has ended (sent just before the
    // exit's programEnded).
    void restartRequested();
    // The program must end with `exitCode` (the window has already closed).
    void programEnded(int exitCode);

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildWidgets();
    void wireSettingsMenu();
    // The editor pane, the loaded note and the backups, wired to the window's signals.
    void buildNoteFeatures();
    // The tree commands with their menus, toolbar buttons and F2.
    void buildTreeCommands();
    // Folder import and export in the notebook menu, and files dropped on the window.
    void buildTransfer();
    void restoreSplitter();
    void applyAlwaysOnTop(bool on);
    void showHelp();
    // Hides the window into the tray, or minimizes it where there is no tray to return from.
    void putAway();
    // The first two steps of every close: save the note, remember the placement.
    void saveBeforeClosing();
    // Ends the program once the note is saved and the end confirmed: no second save.
    void endProgram();

    SettingsStore* settings_;
    StartOptions options_;
    WindowLayout layout_;
    MainToolBar* toolBar_ = nullptr;
    NoteTrees* trees_ = nullptr;
    SplitterHandle* splitter_ = nullptr;
    QWidget* editorArea_ = nullptr;
    SettingsMenu* settingsMenu_ = nullptr;
    TrayIcon* tray_ = nullptr;
    TreeCommands* treeCommands_ = nullptr;
    TreeMenus* treeMenus_ = nullptr;
    std::unique_ptr<AutostartEntry> autostart_;
    EditorPane* editorPane_ = nullptr;
    NoteSession* noteSession_ = nullptr;
    Backup* backup_ = nullptr;
    CheckpointScheduler* checkpoints_ = nullptr;
    AutoSave* autoSave_ = nullptr;
    PathCommands* paths_ = nullptr;
    SearchController* search_ = nullptr;
    FolderTransfer* transfer_ = nullptr;
    DropTarget* drops_ = nullptr;
    CalculatorButton* calculator_ = nullptr;
    NoteLinks* links_ = nullptr;
    AutoTyping* typing_ = nullptr;
    SpeechReading* speech_ = nullptr;
    TagPane* tags_ = nullptr;
    NoteProperties* properties_ = nullptr;
    WriteFailureWatch* writeWatch_ = nullptr;
    bool exiting_ = false;
};

}  // namespace qm
