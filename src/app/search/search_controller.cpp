#include "app/search/search_controller.h"

#include <QIcon>
#include <QPushButton>
#include <QStyle>

#include "app/frame/main_tool_bar.h"
#include "app/frame/window_layout.h"
#include "app/notes/note_session.h"
#include "app/search/event_pump.h"
#include "app/search/note_search.h"
#include "app/search/search_bar.h"
#include "app/trees/note_tree_view.h"
#include "app/trees/note_trees.h"
#include "app/widgets/message_box.h"
#include "editor/note_editor.h"

namespace qm {

const char* const SearchController::kSearchingCaption = "查找中..";
const char* const SearchController::kStoppingCaption = "正在停止";
const char* const SearchController::kNotFoundCaption = "找不到了";

SearchController::SearchController(MainToolBar* toolBar, WindowLayout& layout, QWidget* clientArea,
                                   NoteTrees* trees, SettingsStore* settings, QObject* parent)
    : QObject(parent), trees_(trees) {
    bar_ = new SearchBar(settings, clientArea);
    bar_->hide();  // until its toolbar button is checked
    search_ = std::make_unique<NoteSearch>(&trees_->notebook(), trees_->notebookModel());
    bar_->restore();

    WindowLayout::Bar placement;
    placement.button = kToolBarButton;
    placement.widget = bar_;
    placement.height = SearchBar::kHeight;
    placement.place = BarPlace::kBottom;
    layout.addBar(placement);
    toolBar->addButton(
        kToolBarButton, QStringLiteral("查找"), QStringLiteral("查找定位工具条"), true,
        QIcon::fromTheme(QStringLiteral("edit-find"),
                         toolBar->style()->standardIcon(QStyle::SP_FileDialogContentsView)));

    connect(bar_, &SearchBar::treeSearchRequested, this, &SearchController::searchTree);
    connect(bar_, &SearchBar::editorSearchRequested, this, &SearchController::findInEditor);
}

SearchController::~SearchController() = default;

bool SearchController::treeSearchRunning() const {
    return bar_->treeButton()->text() != QString::fromUtf8(SearchBar::kTreeCaption);
}

void SearchController::searchTree() {
    QPushButton* button = bar_->treeButton();
    if (treeSearchRunning()) {
        button->setText(QString::fromUtf8(kStoppingCaption));
        search_->requestStop();
        return;
    }
    button->setText(QString::fromUtf8(kSearchingCaption));
    search_->clearStop();
    bar_->saveQuery();

    const SearchResult result = runTreeSearch();
    switch (result.status) {
        case SearchResult::Status::kFound:
            showHit(result);
            break;
        case SearchResult::Status::kInvalidPattern:
            button->setText(QString::fromUtf8(SearchBar::kTreeCaption));  // nothing runs
            MessageBox::warning(bar_->window(),
                                QStringLiteral("查找内容不是有效的正则表达式，没有查找：\n") +
                                    QString::fromStdString(result.error));
            break;
        case SearchResult::Status::kNotFound:
        case SearchResult::Status::kStopped:
            showNotFound(button, SearchBar::kTreeCaption);
            break;
    }
    button->setText(QString::fromUtf8(SearchBar::kTreeCaption));
}

SearchResult SearchController::runTreeSearch() {
    const int selected = trees_->notebookView()->selectedNode();
    if (!bar_->includeBodies()) return search_->findTitle(bar_->query(), bar_->options(), selected);
    EventPump pump;
    return search_->findTitleOrBody(bar_->query(), bar_->options(), selected, [&pump] { pump(); });
}

void SearchController::showHit(const SearchResult& hit) {
    trees_->notebookView()->selectNode(hit.index);
    if (hit.matchedPart == 2) {
        // A selection blocker may have kept the note that was loaded: its text is not the hit.
        if (session_ != nullptr && session_->loadedNote() == hit.index) {
            findInEditor();
        } else {
            showNotFound(bar_->editorButton(), SearchBar::kEditorCaption);
        }
    }
    bar_->addFindHistory();
}

bool SearchController::findInEditor() {
    bar_->saveQuery();
    const MatchOptions options = bar_->options();
    if (session_ != nullptr &&
        session_->editor()->findAndSelect(bar_->query(), options.ignoreCase, options.useRegex)) {
        bar_->addFindHistory();
        return true;
    }
    showNotFound(bar_->editorButton(), SearchBar::kEditorCaption);
    return false;
}

void SearchController::showNotFound(QPushButton* button, const char* restCaption) {
    button->setText(QString::fromUtf8(kNotFoundCaption));
    WaitProcessingEvents(kNotFoundMs);
    button->setText(QString::fromUtf8(restCaption));
}

}  // namespace qm
