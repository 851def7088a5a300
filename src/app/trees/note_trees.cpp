#include "app/trees/note_trees.h"

#include <QDir>
#include <QFile>
#include <cmath>

#include "app/trees/note_tree_view.h"
#include "app/trees/outline_model.h"
#include "common/qt_text.h"
#include "editor/off_thread.h"
#include "store/tree_store.h"

namespace qm {

namespace {

std::string FilePath(const QString& folder, const QString& name) {
    return QFile::encodeName(QDir(folder).filePath(name)).toStdString();
}

// Opens one store and fills its view; gives an empty store its root. Returns false when the
// root was needed and could not be added.
bool OpenTree(TreeStore& store, const std::string& path, OutlineModel* model,
              const QString& rootTitle, bool* writable) {
    // A large notebook takes seconds to open and to outline: done on a worker while the window
    // paints; its timers wait meanwhile, as they use the stores.
    OutlineModel::Snapshot snapshot;
    RunOffThread(
        [&] {
            *writable = store.Open(path);
            snapshot = OutlineModel::ReadSnapshot(&store);
        },
        false);
    model->reload(std::move(snapshot));
    if (store.NodeCount() != 0) return true;
    NodeFields root;
    root.title = ToGb(rootTitle);
    root.image = 2;
    if (store.AddNode(std::nullopt, root) < 0) return false;
    model->reload();
    return true;
}

}  // namespace

int ItemToReselect(double storedItem, int itemCount) {
    if (!std::isfinite(storedItem)) return 0;
    const double item = std::trunc(storedItem);
    if (item < 0 || item > itemCount - 1) return 0;
    return static_cast<int>(item);
}

NoteTrees::NoteTrees(const QString& programFolder, QWidget* viewParent)
    : QObject(viewParent),
      folder_(programFolder),
      recycleBin_(std::make_unique<TreeStore>(QFile::encodeName(programFolder).toStdString())),
      notebook_(std::make_unique<TreeStore>(QFile::encodeName(programFolder).toStdString())) {
    recycleBinModel_ = new OutlineModel(recycleBin_.get(), this);
    notebookModel_ = new OutlineModel(notebook_.get(), this);
    notebookView_ = new NoteTreeView(QStringLiteral("树型框笔记本"), notebookModel_, viewParent);
    recycleBinView_ =
        new NoteTreeView(QStringLiteral("树型框回收站"), recycleBinModel_, viewParent);
    recycleBinView_->hide();
}

NoteTrees::~NoteTrees() {
    // The views belong to the window and may outlive the stores by a moment: detach them.
    // The models go first: a model being deleted lets go of all the views' open items at once,
    // while a view detached from a live model unregisters them one by one (most of a second
    // for a notebook of 500,000 open items).
    recycleBinView_->stopExpanding();
    notebookView_->stopExpanding();
    delete recycleBinModel_;
    delete notebookModel_;
    recycleBinModel_ = nullptr;
    notebookModel_ = nullptr;
    recycleBinView_->setModel(nullptr);
    notebookView_->setModel(nullptr);
    recycleBin_.reset();
    notebook_.reset();
}

NoteTrees::OpenOutcome NoteTrees::open() {
    OpenOutcome outcome;
    outcome.recycleBinRootFailed =
        !OpenTree(*recycleBin_, FilePath(folder_, QStringLiteral("回收站.qm")), recycleBinModel_,
                  QStringLiteral("回收站"), &outcome.recycleBinWritable);
    recycleBinView_->expandNode(0);
    outcome.notebookRootFailed =
        !OpenTree(*notebook_, FilePath(folder_, QStringLiteral("笔记本.qm")), notebookModel_,
                  QStringLiteral("笔记本"), &outcome.notebookWritable);
    return outcome;
}

int NoteTrees::reselect(double storedItem) {
    const int count = notebookModel_->nodeCount();
    if (count == 0) return -1;
    const int item = ItemToReselect(storedItem, count);
    notebookView_->selectNode(item);
    notebookView_->expandNode(0);
    return item;
}

}  // namespace qm
