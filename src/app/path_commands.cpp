#include "app/path_commands.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QTimer>

#include "app/note_tree_view.h"
#include "app/outline_path_tree.h"
#include "app/path_bar.h"
#include "app/settings_adapters.h"
#include "common/qt_text.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"

namespace qm {

namespace {

QString Caption(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<int>(utf8.size()));
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
    showPathBar_->setChecked(settings::Read(*settings_, settings::kShowPathBar, true));

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
    copyPath_ = new QAction(QStringLiteral("复制路径"), this);
    connect(copyPath_, &QAction::triggered, this, &PathCommands::copyPath);
    menu_->addAction(copyPath_);
    connect(menu_->addAction(QStringLiteral("跳到已复制路径")), &QAction::triggered, this,
            &PathCommands::jumpToCopiedPath);
    menu_->addSeparator();
    connect(menu_->addAction(QStringLiteral("编辑路径")), &QAction::triggered, this,
            &PathCommands::openEditor);
    menu_->addSeparator();
    connect(menu_->addAction(QStringLiteral("关闭路径栏")), &QAction::triggered, this,
            &PathCommands::togglePathBar);

    // Its caption is its settings key.
    showPathBar_ = new QAction(Caption(settings::kShowPathBar.key), this);
    showPathBar_->setCheckable(true);
    showPathBar_->setChecked(true);
    connect(showPathBar_, &QAction::triggered, this, &PathCommands::setPathBarShown);
}

bool PathCommands::pathBarShown() const { return showPathBar_->isChecked(); }

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
    showPathBar_->setChecked(shown);
    if (!shown) bar_->closeEditor();
    UseMainSection(*settings_);
    settings::Write(*settings_, settings::kShowPathBar, shown);
    emit pathBarShownChanged(shown);
}

void PathCommands::togglePathBar() { setPathBarShown(!pathBarShown()); }

}  // namespace qm
