#include "app/notes/path_commands.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QTimer>

#include "app/notes/note_session.h"
#include "app/notes/outline_path_tree.h"
#include "app/notes/path_bar.h"
#include "app/trees/note_tree_view.h"
#include "app/widgets/sectioned_menu.h"
#include "app/widgets/settings_adapters.h"
#include "common/qt_text.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"

namespace qm {

namespace {

// The mark's caption is its settings key.
QString MarkCaption() {
    const std::string_view key = settings::kShowPathBar.key;
    return QString::fromUtf8(key.data(), static_cast<int>(key.size()));
}

}  // namespace

PathCommands::PathCommands(NoteTreeView* notebookView, SettingsStore* settings, QWidget* barParent)
    : QObject(barParent),
      view_(notebookView),
      settings_(settings),
      tree_(std::make_unique<OutlinePathTree>(notebookView->outlineModel())),
      bar_(new PathBar(barParent)) {
    buildMenu();
    UseMainSection(*settings_);
    shown_ = settings::Read(*settings_, settings::kShowPathBar, true);

    connect(bar_, &PathBar::segmentClicked, this, &PathCommands::onSegmentClicked);
    connect(bar_, &PathBar::editRequested, this, &PathCommands::openEditor);
    connect(bar_, &PathBar::menuRequested, this, &PathCommands::showMenu);
    connect(bar_, &PathBar::editorEntered, this, &PathCommands::applyEditor);
    // Applied once the event that took the focus is handled: a click in the notebook tree
    // then meets an open edit box and leaves the selection alone.
    connect(bar_, &PathBar::editorLeft, this, [this] {
        QTimer::singleShot(0, this, [this] {
            if (editorOpen()) applyEditor();
        });
    });
}

PathCommands::~PathCommands() = default;

void PathCommands::buildMenu() {
    menu_ = new QMenu(bar_);
    menu_->setObjectName(QStringLiteral("路径菜单"));
    connect(menu_->addAction(QStringLiteral("复制路径")), &QAction::triggered, this,
            &PathCommands::copyPath);
    connect(menu_->addAction(QStringLiteral("跳到已复制路径")), &QAction::triggered, this,
            &PathCommands::jumpToCopiedPath);
    menu_->addSeparator();
    connect(menu_->addAction(QStringLiteral("编辑路径")), &QAction::triggered, this,
            &PathCommands::openEditor);
    menu_->addSeparator();
    connect(menu_->addAction(QStringLiteral("关闭路径栏")), &QAction::triggered, this,
            &PathCommands::togglePathBar);
}

void PathCommands::addNotebookEntries(SectionedMenu& menu, int section) {
    menu.addEntry(section, QStringLiteral("复制路径"), [this] { copyPath(); });
    QAction* mark = menu.addEntry(section, MarkCaption(), [this] { togglePathBar(); });
    if (mark == nullptr) return;
    mark->setCheckable(true);
    mark->setChecked(shown_);
    connect(this, &PathCommands::pathBarShownChanged, mark, &QAction::setChecked);
}

void PathCommands::followSession(NoteSession* session) {
    connect(session, &NoteSession::pathShowRequested, this, [this](int node) { showPathOf(node); });
    session->addSelectionBlocker(
        [self = QPointer<PathCommands>(this)](QString*) { return self && self->editorOpen(); });
}

std::string PathCommands::notePath(int node, std::string_view replacementTitle) const {
    return NotePath(*tree_, node, replacementTitle);
}

std::string PathCommands::selectionPath() const { return notePath(view_->selectedNode()); }

int PathCommands::resolvePath(std::string_view path) const { return ResolvePath(*tree_, path); }

void PathCommands::showPathOf(int node, const QString& replacementTitle) {
    bar_->showPath(notePath(node, ToGb(replacementTitle)));
}

int PathCommands::jumpTo(std::string_view path) {
    const int node = resolvePath(path);
    if (node >= 0) view_->selectNode(node);
    return node;
}

void PathCommands::onSegmentClicked(int k) {
    // Copied: the jump may rebuild the bar and drop this segment's tag.
    const std::string tag = bar_->tagOf(k);
    jumpTo(tag);
}

void PathCommands::showMenu(const QPoint& globalPos) { menu_->popup(globalPos); }

void PathCommands::copyPath() { QGuiApplication::clipboard()->setText(FromGb(selectionPath())); }

void PathCommands::jumpToCopiedPath() { jumpTo(ToGb(QGuiApplication::clipboard()->text())); }

void PathCommands::openEditor() { bar_->openEditor(FromGb(selectionPath())); }

void PathCommands::applyEditor() {
    if (!editorOpen()) return;
    const std::string text = ToGb(bar_->editBox()->text());
    const bool unchanged = text == selectionPath();
    bar_->closeEditor();
    if (unchanged) return;
    jumpTo(text);
    bar_->showPath(selectionPath());
}

bool PathCommands::editorOpen() const { return bar_->editorOpen(); }

void PathCommands::setPathBarShown(bool shown) {
    shown_ = shown;
    if (!shown) bar_->closeEditor();
    UseMainSection(*settings_);
    settings::Write(*settings_, settings::kShowPathBar, shown);
    emit pathBarShownChanged(shown);
}

void PathCommands::togglePathBar() { setPathBarShown(!pathBarShown()); }

}  // namespace qm
