// The note tree view opening many items at once: "*" and expandAll open a subtree slice by
// slice and reach every item, write the user's expansion ("*") to the store and the program's
// (expandAll) not, and stop on Escape, on a collapse by the user and on a change of the rows.
#include "app/trees/note_tree_view.h"

#include <QSignalSpy>
#include <QtTest>
#include <algorithm>
#include <memory>
#include <optional>
#include <set>

#include "app/trees/outline_model.h"
#include "common/qt_text.h"
#include "store/tree_store.h"
#include "support/temp_dir.h"

using qm::NoteTreeView;
using qm::OutlineModel;

namespace {

constexpr int kNotes = 240;

// A root and kNotes - 1 notes in pre-order; each note's depth steps up by one or falls back,
// so the tree holds chains, fans and leaves.
void FillStore(qm::TreeStore* store) {
    std::vector<int> lastAtDepth;
    int depth = 1;
    for (int i = 0; i < kNotes; ++i) {
        if (i > 0) depth = std::min(depth + 1, 2 + (i * 7) % 5);
        qm::NodeFields fields;
        fields.title = qm::ToGb(QStringLiteral("项%1").arg(i));
        fields.image = i == 0 ? 2 : 1;
        std::optional<int> parent;
        if (depth > 1) parent = lastAtDepth[static_cast<size_t>(depth - 2)];
        QCOMPARE(store->AddNode(parent, fields), i);
        lastAtDepth.resize(static_cast<size_t>(depth));
        lastAtDepth.back() = i;
    }
}

// The nodes in [first, last] that the view shows open.
std::set<int> OpenNodes(const NoteTreeView& view, int first, int last) {
    std::set<int> open;
    const OutlineModel* model = view.outlineModel();
    for (int node = first; node <= last; ++node) {
        if (view.isExpanded(model->indexOfNode(node))) open.insert(node);
    }
    return open;
}

std::set<int> NodesWithChildren(const OutlineModel& model, int first, int last) {
    std::set<int> nodes;
    for (int node = first; node <= last; ++node) {
        if (model.rowCount(model.indexOfNode(node)) > 0) nodes.insert(node);
    }
    return nodes;
}

// A store filled by FillStore, its model loaded, and a view of it shown.
struct ShownTree {
    ShownTree() {
        FillStore(&store);
        model.reload();
        view = std::make_unique<NoteTreeView>(QStringLiteral("树型框笔记本"), &model);
        view->resize(300, 400);
        view->show();
    }
    qm::testing::TempDir dir;
    qm::TreeStore store{dir.path()};
    OutlineModel model{&store};
    std::unique_ptr<NoteTreeView> view;
};

void WaitUntilDone(const NoteTreeView& view) {
    for (int i = 0; i < 10000 && view.isExpanding(); ++i) QCoreApplication::processEvents();
}

}  // namespace

class NoteTreeViewTest : public QObject {
    Q_OBJECT
private slots:
    void expandingInSlicesReachesEveryItem_data();
    void expandingInSlicesReachesEveryItem();
    void expandingStops_data();
    void expandingStops();
};

enum How { kExpandAll, kStarOnRoot, kStarOnItem };

void NoteTreeViewTest::expandingInSlicesReachesEveryItem_data() {
    QTest::addColumn<int>("how");
    QTest::addColumn<int>("slice");
    QTest::newRow("expandAll in one slice") << int(kExpandAll) << 100000;
    QTest::newRow("expandAll, 7 items a slice") << int(kExpandAll) << 7;
    QTest::newRow("* on the root, 5 items a slice") << int(kStarOnRoot) << 5;
    QTest::newRow("* on an inner item, 3 items a slice") << int(kStarOnItem) << 3;
}

void NoteTreeViewTest::expandingInSlicesReachesEveryItem() {
    QFETCH(int, how);
    QFETCH(int, slice);
    ShownTree tree;
    qm::TreeStore& store = tree.store;
    OutlineModel& model = tree.model;
    NoteTreeView& view = *tree.view;
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.setExpandSlice(slice);
    QSignalSpy finished(&view, &NoteTreeView::expandingFinished);

    // The subtree to open: the whole tree, or that of the last top-level note with a
    // grandchild (nodes in pre-order: a subtree is a range).
    int first = 0;
    if (how == kStarOnItem) {
        for (const int node : NodesWithChildren(model, 1, kNotes - 1)) {
            if (model.parent(model.indexOfNode(node)) == model.indexOfNode(0) &&
                model.lastInSubtree(node) - node >= 4) {
                first = node;
            }
        }
        QVERIFY(first > 0);
    }
    const int last = model.lastInSubtree(first);
    // Every item of the subtree opens, leaves too (as QTreeView does), so that a leaf that
    // gains children later shows them.
    std::set<int> toOpen;
    for (int node = first; node <= last; ++node) toOpen.insert(node);
    QVERIFY(NodesWithChildren(model, first, last).size() > 10 || how == kStarOnItem);
    const std::string before = store.image();

    if (how == kExpandAll) {
        view.expandAll();
    } else {
        QVERIFY(view.selectNode(first));
        QTest::keyClick(&view, Qt::Key_Asterisk);
    }
    const int range = last - first + 1;
    QCOMPARE(view.isExpanding(), slice < range);
    if (slice < range) {
        QVERIFY(OpenNodes(view, first, last) != toOpen);  // the rest waits for its slices
        QCOMPARE(finished.count(), 0);
    }
    WaitUntilDone(view);
    QVERIFY(!view.isExpanding());
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.first().first().toBool(), true);
    QCOMPARE(OpenNodes(view, first, last), toOpen);
    if (how == kStarOnItem) {
        // Nothing after the subtree was opened.
        QVERIFY(OpenNodes(view, last + 1, kNotes - 1).empty());
        if (last + 1 < kNotes) {
            QCOMPARE(store.ReadNode(last + 1, qm::kFieldExpandState), std::string("0"));
        }
    }
    if (how == kExpandAll) {
        QCOMPARE(store.image(), before);  // the program's expansion is not stored
    } else {
        for (int node = first; node <= last; ++node) {
            QCOMPARE(store.ReadNode(node, qm::kFieldExpandState), std::string("2"));
        }
    }
    // The laid-out view shows the opened items' rows: the last note is reachable.
    const QModelIndex lastIndex = model.indexOfNode(last);
    view.scrollTo(lastIndex);
    QVERIFY(view.visualRect(lastIndex).intersects(view.viewport()->rect()));
}

enum Stop { kEscape, kUserCollapse, kRowsInserted, kNewModel };

void NoteTreeViewTest::expandingStops_data() {
    QTest::addColumn<int>("stop");
    QTest::newRow("Escape") << int(kEscape);
    QTest::newRow("the user closes an item") << int(kUserCollapse);
    QTest::newRow("rows inserted") << int(kRowsInserted);
    QTest::newRow("another model") << int(kNewModel);
}

void NoteTreeViewTest::expandingStops() {
    QFETCH(int, stop);
    ShownTree tree;
    qm::TreeStore& store = tree.store;
    OutlineModel& model = tree.model;
    NoteTreeView& view = *tree.view;
    OutlineModel other(&store);
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.setExpandSlice(6);
    QSignalSpy finished(&view, &NoteTreeView::expandingFinished);
    QVERIFY(view.selectNode(0));
    QTest::keyClick(&view, Qt::Key_Asterisk);
    QCoreApplication::processEvents();  // a slice or two more
    QVERIFY(view.isExpanding());

    switch (stop) {
        case kEscape:
            QTest::keyClick(&view, Qt::Key_Escape);
            break;
        case kUserCollapse:
            QTest::keyClick(&view, Qt::Key_Left);  // closes the root
            QVERIFY(!view.isExpanded(model.indexOfNode(0)));
            QCOMPARE(store.ReadNode(0, qm::kFieldExpandState), std::string("0"));
            break;
        case kRowsInserted: {
            qm::NodeFields fields;
            fields.title = qm::ToGb(QStringLiteral("新"));
            fields.image = 1;
            const int added = store.AddNode(0, fields);
            QVERIFY(added > 0);
            QVERIFY(model.insertSubtree(added, 1));
            break;
        }
        case kNewModel:
            view.setModel(&other);
            break;
    }
    QVERIFY(!view.isExpanding());
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.first().first().toBool(), false);
    if (stop == kNewModel) return;

    const int count = model.nodeCount();
    const std::set<int> open = OpenNodes(view, 0, count - 1);
    QTest::qWait(50);
    QCoreApplication::processEvents();
    // Nothing more is opened, and the items opened so far stay open.
    QCOMPARE(OpenNodes(view, 0, count - 1), open);
    QVERIFY(static_cast<int>(open.size()) < count);
    if (stop != kUserCollapse) QVERIFY(open.count(0) != 0 && open.size() > 3);
}

QTEST_MAIN(NoteTreeViewTest)
#include "note_tree_view_test.moc"
