#include "app/window/main_window.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFrame>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QPushButton>
#include <QStandardPaths>
#include <QWindow>
#include <cmath>
#include <functional>

#include "app/calculator/calculator_button.h"
#include "app/frame/main_tool_bar.h"
#include "app/frame/splitter_handle.h"
#include "app/notes/auto_save.h"
#include "app/notes/backup.h"
#include "app/notes/checkpoint_scheduler.h"
#include "app/notes/editor_pane.h"
#include "app/notes/note_links.h"
#include "app/notes/note_properties.h"
#include "app/notes/note_session.h"
#include "app/notes/path_bar.h"
#include "app/notes/path_commands.h"
#include "app/notes/tag_pane.h"
#include "app/notes/write_failure_watch.h"
#include "app/search/note_search.h"
#include "app/search/search_controller.h"
#include "app/speech/speech_reading.h"
#include "app/transfer/drop_target.h"
#include "app/transfer/folder_transfer.h"
#include "app/tree_commands/tree_commands.h"
#include "app/tree_commands/tree_menus.h"
#include "app/trees/note_tree_view.h"
#include "app/trees/note_trees.h"
#include "app/typing/auto_typing.h"
#include "app/typing/typing_bar.h"
#include "app/widgets/message_box.h"
#include "app/widgets/settings_adapters.h"
#include "app/window/autostart_entry.h"
#include "app/window/help_dialog.h"
#include "app/window/settings_menu.h"
#include "app/window/tray_icon.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"
#include "tools/speech/espeak_engine.h"

namespace qm {

namespace {

// The window's client area: lays its children out by hand on every resize.
class ClientArea : public QWidget {
public:
    ClientArea(QWidget* parent, std::function<void()> onResize)
        : QWidget(parent), onResize_(std::move(onResize)) {}

protected:
    void resizeEvent(QResizeEvent*) override { onResize_(); }

private:
    std::function<void()> onResize_;
};

}  // namespace

const char* const MainWindow::kCaption =
    "Quelmar·Corvanel(Corvanelia) v1.0.8.1 - 使用无限树结构来保存你的笔记";

MainWindow::MainWindow(SettingsStore* settings, const StartOptions& options)
    : settings_(settings), options_(options) {
    setObjectName(QStringLiteral("Corvanelia"));
    setWindowTitle(QString::fromUtf8(kCaption));
    setWindowIcon(TrayIcon::ProgramIcon());
    resize(1000, 680);

    buildWidgets();
    settingsMenu_ = new SettingsMenu(settings_, this);
    tray_ = new TrayIcon(settingsMenu_->menu(), options_.trayAvailable, this);
    if (!tray_->available()) {
        // Without a tray the menu's commands would be out of reach: the toolbar carries it.
        toolBar_->setTrailingMenu(QStringLiteral("设置"), QStringLiteral("托盘菜单"),
                                  settingsMenu_->menu());
    }
    wireSettingsMenu();

    UseMainSection(*settings_);
    settingsMenu_->restore();
    applyAlwaysOnTop(settingsMenu_->alwaysOnTop());
    buildNoteFeatures();
    tags_ = new TagPane(toolBar_, layout_, editorArea_, editor(), this);
    tags_->followSession(noteSession_);
    paths_ = new PathCommands(trees_->notebookView(), settings_, centralWidget());
    paths_->followSession(noteSession_);
    layout_.setPathBar(paths_->bar(), PathBar::kHeight);
    layout_.setPathBarShown(paths_->pathBarShown());
    connect(paths_, &PathCommands::pathBarShownChanged, this, [this](bool shown) {
        layout_.setPathBarShown(shown);
        relayout();
    });
    search_ = new SearchController(toolBar_, layout_, centralWidget(), trees_, settings_, this);
    // A search still running when the program ends would hold up its exit.
    connect(this, &MainWindow::programEnded, search_, [this] { search_->search().requestStop(); });
    search_->setNoteSession(noteSession_);
    calculator_ = new CalculatorButton(toolBar_, editor(), this);
    links_ = new NoteLinks(editor(), paths_, this, this);
    links_->setHighlighting(settingsMenu_->highlightLinks(), true);
    links_->setLinkAction(settingsMenu_->linkAction());
    connect(settingsMenu_, &SettingsMenu::highlightLinksChanged, links_,
            [this](bool on) { links_->setHighlighting(on); });
    connect(settingsMenu_, &SettingsMenu::linkActionChanged, links_, &NoteLinks::setLinkAction);
    typing_ = new AutoTyping(toolBar_, layout_, centralWidget(), noteSession_, this);
    connect(this, &MainWindow::programEnded, typing_, &AutoTyping::stop);
    // eSpeak NG starts when the reading bar is first used, not with the window.
    speech_ = new SpeechReading(
        toolBar_, layout_, centralWidget(), noteSession_, settings_,
        []() -> SpeechEngine* { return EspeakEngine::Instance(); }, this);
    restoreToolBars();
    restoreSplitter();

    autostart_ =
        std::make_unique<AutostartEntry>(options_.autostartFolder, options_.executablePath);
    // A moved program folder leaves a stale entry: rewrite it. Failures stay silent.
    if (settingsMenu_->startWithSystem()) autostart_->sync(true);
    buildTreeCommands();
    buildTransfer();
    typing_->guardTreeViews({trees_->notebookView(), trees_->recycleBinView()});
    typing_->guardActions(
        {toolBar_->button(MainToolBar::kNew), toolBar_->button(MainToolBar::kDelete)});
    relayout();
}

MainWindow::~MainWindow() = default;

void MainWindow::buildWidgets() {
    auto* client = new ClientArea(this, [this] { relayout(); });
    client->setObjectName(QStringLiteral("客户区"));
    setCentralWidget(client);

    toolBar_ = new MainToolBar(client);
    connect(toolBar_, &MainToolBar::recycleBinToggleRequested, this, &MainWindow::toggleRecycleBin);
    connect(toolBar_, &MainToolBar::checkButtonClicked, this,
            [this](int index, bool checked) { toggleToolBar(index, checked); });

    trees_ = new NoteTrees(options_.programFolder, client);
    connect(trees_->notebookView()->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this] { emit showSelectedNoteRequested(); });

    splitter_ = new SplitterHandle(client);
    connect(splitter_, &SplitterHandle::dragging, this, [this](int left) {
        layout_.setSplitterLeft(left);
        relayout();
    });
    connect(splitter_, &SplitterHandle::moved, this, &MainWindow::moveSplitter);

    // The editor takes this place when it arrives; until then it stays an empty panel.
    auto* editorArea = new QFrame(client);
    editorArea->setObjectName(QStringLiteral("编辑区"));
    editorArea->setFrameShape(QFrame::StyledPanel);
    editorArea->setAutoFillBackground(true);
    editorArea->setBackgroundRole(QPalette::Base);
    editorArea_ = editorArea;

    layout_.setToolBar(toolBar_);
    layout_.setTrees(trees_->notebookView(), trees_->recycleBinView());
    layout_.setSplitter(splitter_);
    layout_.setEditorArea(editorArea_);
}

void MainWindow::wireSettingsMenu() {
    connect(settingsMenu_, &SettingsMenu::helpRequested, this, &MainWindow::showHelp);
    connect(settingsMenu_, &SettingsMenu::backupNowRequested, this,
            &MainWindow::backupNowRequested);
    connect(settingsMenu_, &SettingsMenu::exitRequested, this, &MainWindow::exitProgram);
    connect(settingsMenu_, &SettingsMenu::alwaysOnTopChanged, this, &MainWindow::applyAlwaysOnTop);
    connect(settingsMenu_, &SettingsMenu::startWithSystemChanged, this,
            [this](bool on) { autostart_->sync(on); });
    connect(tray_, &TrayIcon::toggleRequested, this, [this] {
        if (isVisible()) {
            hide();
        } else {
            showFromTray();
        }
    });
}

void MainWindow::buildNoteFeatures() {
    editorPane_ = new EditorPane(toolBar_, layout_, editorArea_, *settings_, this);
    noteSession_ = new NoteSession(editorPane_->editor(), &trees_->notebook(),
                                   trees_->notebookView(), settings_, this);
    backup_ = new Backup(settings_, options_.programFolder, this);
    noteSession_->setChangedSaveHandler([this] { backup_->countChangedSave(); });
    // The tree files follow their edit logs in the background, and at once before a backup.
    auto* checkpoints =
        new CheckpointScheduler({&trees_->notebook(), &trees_->recycleBin()}, this);
    checkpoints_ = checkpoints;
    backup_->setBeforeCopy([checkpoints] { checkpoints->checkpointNow(); });
    // Files that cannot be written are told, retried and asked about at the end.
    writeWatch_ = new WriteFailureWatch({{&trees_->notebook(), QStringLiteral("笔记本")},
                                         {&trees_->recycleBin(), QStringLiteral("回收站")}},
                                        settings_, this, this);
    connect(backup_, &Backup::copyFailed, writeWatch_,
            [this] { writeWatch_->reportBackupFailure(backup_->lastError()); });
    autoSave_ = new AutoSave(noteSession_, this, this);
    connect(this, &MainWindow::saveCurrentNoteRequested, noteSession_,
            &NoteSession::saveCurrentNote);
    connect(this, &MainWindow::showSelectedNoteRequested, noteSession_,
            &NoteSession::showSelectedNote);
    connect(settingsMenu_, &SettingsMenu::savesPerBackupChanged, backup_, &Backup::setTrigger);
    connect(settingsMenu_, &SettingsMenu::backupsKeptChanged, backup_, &Backup::setKeep);
    connect(this, &MainWindow::backupNowRequested, this, [this] {
        const QString path = backup_->run();
        if (backup_->lastError().failed()) return;  // the write watch has told why
        MessageBox::information(this, QStringLiteral("已备份最新数据状态到\r\n") + path);
    });
}

NoteEditor* MainWindow::editor() const { return editorPane_->editor(); }

void MainWindow::restoreToolBars() {
    UseMainSection(*settings_);
    for (const int index : settings::kToolbarButtons) {
        const QAction* button = toolBar_->button(index);
        if (button == nullptr || !button->isCheckable()) continue;
        toggleToolBar(index,
                      settings_->readBool(settings::ToolbarVisibleKey(index),
                                          settings::kToolbarVisibleFallback),
                      false);
    }
}

void MainWindow::buildTreeCommands() {
    treeCommands_ = new TreeCommands(trees_, noteSession_, this);
    treeMenus_ = new TreeMenus(treeCommands_, trees_, this);
    paths_->addNotebookEntries(treeMenus_->notebookMenu(), TreeMenus::kPath);
    properties_ = new NoteProperties(noteSession_, this);
    treeMenus_->notebookMenu().addEntry(TreeMenus::kProperties, QStringLiteral("属性"),
                                        [this] { properties_->open(); });
    treeMenus_->notebookMenu().addEntry(TreeMenus::kRestart, QStringLiteral("重新运行本软件"),
                                        [this] { restartProgram(); });
    connect(toolBar_->button(MainToolBar::kNew), &QAction::triggered, treeCommands_,
            [this] { treeCommands_->newChildNote(); });
    connect(toolBar_->button(MainToolBar::kDelete), &QAction::triggered, treeCommands_,
            [this] { treeCommands_->deleteNote(); });
    // A renamed note has a new path.
    connect(treeCommands_, &TreeCommands::noteRenamed, noteSession_,
            &NoteSession::pathShowRequested);
}

void MainWindow::buildTransfer() {
    transfer_ = new FolderTransfer(trees_, noteSession_, treeCommands_, this);
    transfer_->addNotebookEntries(treeMenus_->notebookMenu(), TreeMenus::kImportExport);
    transfer_->guardDuringImport(toolBar_->button(MainToolBar::kNew));
    transfer_->guardDuringImport(toolBar_->button(MainToolBar::kDelete));
    // An import or export still running stops (and an import commits) before the end.
    connect(this, &MainWindow::programEnded, transfer_, [this] { transfer_->stopForExit(); });
    // Automatic typing holds the note: no run starts while it types, and it waits for a run.
    transfer_->setStartBlocker([this] {
        return typing_->running() ? QStringLiteral("正在自动打字，请先停止打字！") : QString();
    });
    connect(transfer_, &FolderTransfer::runningChanged, this,
            [this](bool running) { typing_->bar()->typeButton()->setEnabled(!running); });
    drops_ = new DropTarget(
        [this](const QStringList& paths) { transfer_->importDropped(paths); }, this);
    drops_->watch(this);
}

void MainWindow::restoreSplitter() {
    UseMainSection(*settings_);
    const double left =
        settings::Read(*settings_, settings::kSplitterLeft, WindowLayout::kDefaultSplitterLeft);
    layout_.setSplitterLeft(static_cast<int>(std::lround(left)));
}

bool MainWindow::startUp() {
    if (!options_.startHidden) {
        show();
    } else if (!tray_->available()) {
        showMinimized();  // hidden with no tray would be lost for good
    }
    tray_->setShown(true);

    const NoteTrees::OpenOutcome outcome = trees_->open();
    // A tree file that exists but cannot be read must not be shown empty nor written.
    if (!writeWatch_->reportOpenProblems()) {
        tray_->setShown(false);
        exiting_ = true;
        close();
        emit programEnded(1);
        return false;
    }
    if (outcome.recycleBinRootFailed) {
        MessageBox::warning(this, QStringLiteral("回收站无法创建！请手动删除软件目录下的 "
                                                 "回收站.qm 文件再启动本软件"));
    }
    if (outcome.notebookRootFailed) {
        MessageBox::warning(this, QStringLiteral("笔记本无法创建！请手动删除软件目录下的 "
                                                 "笔记本.qm 文件再启动本软件"));
        tray_->setShown(false);
        exiting_ = true;
        close();
        emit programEnded(1);
        return false;
    }

    UseMainSection(*settings_);
    const int item = trees_->reselect(settings::Read(*settings_, settings::kSelectedTreeItem));
    if (item == 0) emit showSelectedNoteRequested();

    if (settingsMenu_->rememberWindowSize()) restoreWindowPlacement(*settings_, this);
    autostart_->sync(settingsMenu_->startWithSystem());
    return true;
}

bool MainWindow::toggleToolBar(int index, std::optional<bool> show, bool persist) {
    QAction* button = toolBar_->button(index);
    if (button == nullptr || !button->isCheckable()) return false;
    const bool on = show.value_or(!button->isChecked());
    button->setChecked(on);
    layout_.setBarShown(index, on);
    if (persist) {
        UseMainSection(*settings_);
        settings_->writeBool(settings::ToolbarVisibleKey(index), on);
    }
    relayout();
    return true;
}

void MainWindow::relayout() { layout_.relayout(centralWidget()->size()); }

void MainWindow::moveSplitter(int left) {
    UseMainSection(*settings_);
    settings::Write(*settings_, settings::kSplitterLeft, left);
    layout_.setSplitterLeft(left);
    relayout();
}

void MainWindow::toggleRecycleBin() {
    layout_.setRecycleBinShown(!layout_.recycleBinShown());
    relayout();
}

void MainWindow::applyAlwaysOnTop(bool on) {
    Qt::WindowFlags flags = windowFlags();
    flags.setFlag(Qt::WindowStaysOnTopHint, on);
    if (flags == windowFlags()) return;
    if (QWindow* handle = windowHandle()) {
        // setWindowFlags() would re-create (and hide) a shown window; the platform window
        // can take the new hint as it is.
        overrideWindowFlags(flags);
        handle->setFlags(flags);
    } else {
        setWindowFlags(flags);
    }
}

void MainWindow::showFromTray() {
    const bool wasOnTop = windowFlags().testFlag(Qt::WindowStaysOnTopHint);
    applyAlwaysOnTop(false);
    QCoreApplication::processEvents();
    if (isHidden()) show();
    if (isMinimized()) setWindowState(windowState() & ~Qt::WindowMinimized);
    // Pinning and unpinning lifts the window above the others, where raise() alone may be
    // refused by the window manager.
    applyAlwaysOnTop(true);
    if (!wasOnTop) applyAlwaysOnTop(false);
    raise();
    activateWindow();
}

void MainWindow::saveBeforeClosing() {
    emit saveCurrentNoteRequested(true);
    if (settingsMenu_->rememberWindowSize()) saveWindowPlacement(*settings_, this);
}

void MainWindow::putAway() {
    if (tray_->available()) {
        hide();
    } else {
        showMinimized();
    }
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (exiting_) {
        event->accept();
        return;
    }
    saveBeforeClosing();
    if (settingsMenu_->closeToTray()) {
        event->ignore();
        putAway();
        return;
    }
    if (!writeWatch_->confirmEnd()) {
        event->ignore();
        return;
    }
    event->accept();
    exiting_ = true;
    tray_->setShown(false);
    emit programEnded(0);
}

void MainWindow::exitProgram() {
    saveBeforeClosing();
    if (!writeWatch_->confirmEnd()) return;
    endProgram();
}

void MainWindow::endProgram() {
    exiting_ = true;
    tray_->setShown(false);
    close();
    emit programEnded(0);
}

void MainWindow::shutDown() {
    saveBeforeClosing();
    writeWatch_->endUnattended({QStandardPaths::writableLocation(QStandardPaths::HomeLocation),
                                QDir::tempPath()});
    endProgram();
}

void MainWindow::finishWrites() { checkpoints_->checkpointBeforeEnd(); }

void MainWindow::restartProgram() {
    saveBeforeClosing();
    if (!writeWatch_->confirmEnd()) return;
    emit restartRequested();
    endProgram();
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    // Esc closes the window only while closing goes to the tray.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier &&
        settingsMenu_->closeToTray()) {
        close();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void MainWindow::showHelp() {
    HelpDialog dialog(this);
    dialog.exec();
}

}  // namespace qm
