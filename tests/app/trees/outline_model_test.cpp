// The tree model over outline rows: row parsing, the tree shape built from depths, the item
// model contract (QAbstractItemModelTester), expansion written back to the store, and the
// in-place updates that follow one store edit without a reset.
#include "app/trees/outline_model.h"

#include <QAbstractItemModelTester>
#include <QtTest>

#include "app/tree_fixture.h"
#include "app/trees/note_tree_view.h"
#include "app/trees/outline_rows.h"
#include "common/qt_text.h"
#include "store/tree_store.h"
#include "support/temp_dir.h"

using qm::OutlineModel;
using qm::OutlineRow;

namespace {

std::string Le32(int32_t value) {
    std::string bytes(4, '\0');
    const auto u = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>((u >> (8 * i)) & 0xff);
    return bytes;
}

std::string Row(const std::string& title, int32_t image, int32_t state, int32_t depth) {
    return title + '\0' + Le32(image) + Le32(image) + Le32(0) + Le32(state) + Le32(depth);
}

std::vector<OutlineRow> RowsOfDepths(const QList<int>& depths) {
    std::vector<OutlineRow> rows;
    for (const int d : depths) {
        OutlineRow row;
        row.depth = d;
        rows.push_back(row);
    }
    return rows;
}

qm::NodeFields Fields(const QString& title, int image) {
    qm::NodeFields fields;
    fields.title = qm::ToGb(title);
    fields.image = image;
    return fields;
}

}  // namespace

class OutlineModelTest : public QObject {
    Q_OBJECT
private slots:
    void parsesRows_data();
    void parsesRows();
    void treeShapeFollowsDepths_data();
    void treeShapeFollowsDepths();
    void modelMapsItemsToNodes();
    void userExpandAndCollapseAreStored();
    void programExpansionIsNotStored();
    void storedExpansionIsShownAfterReload();
    void reloadFollowsStoreChanges();
    void inPlaceUpdatesFollowTheStore_data();
    void inPlaceUpdatesFollowTheStore();
    void updatesTheModelCannotFollowReload_data();
    void updatesTheModelCannotFollowReload();

private:
    // A store in `dir` holding: 0 笔记本 (root) / 1 甲 / 2 乙 (under 甲) / 3 丙 (under root).
    void fillStore(qm::TreeStore* store, const qm::testing::TempDir& dir);
};

void OutlineModelTest::parsesRows_data() {
    QTest::addColumn<QByteArray>("block");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("lastImage");
    QTest::addColumn<int>("lastDepth");
    const std::string two = Row("a", 2, 0, 1) + Row("\xb1\xca\xbc\xc7", -1, 2, 2);
    QTest::newRow("empty") << QByteArray() << 0 << 0 << 0;
    QTest::newRow("one row") << QByteArray::fromStdString(Row("root", 2, 2, 1)) << 1 << 2 << 1;
    QTest::newRow("two rows, negative image") << QByteArray::fromStdString(two) << 2 << -1 << 2;
    QTest::newRow("last row cut short")
        << QByteArray::fromStdString(two.substr(0, two.size() - 1)) << 1 << 2 << 1;
    QTest::newRow("title without NUL") << QByteArray("no terminator at all") << 0 << 0 << 0;
    QTest::newRow("empty title") << QByteArray::fromStdString(Row("", 1, 0, 3)) << 1 << 1 << 3;
}

void OutlineModelTest::parsesRows() {
    QFETCH(QByteArray, block);
    QFETCH(int, rows);
    QFETCH(int, lastImage);
    QFETCH(int, lastDepth);
    const std::vector<OutlineRow> parsed =
        qm::ParseOutlineRows(std::string_view(block.constData(), block.size()));
    QCOMPARE(static_cast<int>(parsed.size()), rows);
    if (rows == 0) return;
    QCOMPARE(parsed.back().image, lastImage);
    QCOMPARE(parsed.back().selectedImage, lastImage);
    QCOMPARE(parsed.back().depth, lastDepth);
}

void OutlineModelTest::treeShapeFollowsDepths_data() {
    QTest::addColumn<QList<int>>("depths");
    QTest::addColumn<QList<int>>("parents");
    QTest::newRow("children and grandchildren")
        << QList<int>{1, 2, 2, 3, 2} << QList<int>{-1, 0, 0, 2, 0};
    QTest::newRow("depth jumps by two") << QList<int>{1, 3, 2} << QList<int>{-1, 0, 0};
    QTest::newRow("two top rows") << QList<int>{1, 1} << QList<int>{-1, -1};
    QTest::newRow("shallower than the first") << QList<int>{2, 1, 2} << QList<int>{-1, -1, 1};
    QTest::newRow("second tree") << QList<int>{1, 2, 3, 1, 2} << QList<int>{-1, 0, 1, -1, 3};
}

void OutlineModelTest::treeShapeFollowsDepths() {
    QFETCH(QList<int>, depths);
    QFETCH(QList<int>, parents);
    const std::vector<int> got = qm::OutlineParents(RowsOfDepths(depths));
    QCOMPARE(QList<int>(got.begin(), got.end()), parents);
}

void OutlineModelTest::fillStore(qm::TreeStore* store, const qm::testing::TempDir& dir) {
    QVERIFY(store->Open(dir.File("笔记本.qm")));
    store->BuildOutline();
    QCOMPARE(store->AddNode(std::nullopt, Fields(QStringLiteral("笔记本"), 2)), 0);
    QCOMPARE(store->AddNode(0, Fields(QStringLiteral("甲"), 0)), 1);
    QCOMPARE(store->AddNode(1, Fields(QStringLiteral("乙"), 1)), 2);
    QCOMPARE(store->AddNode(0, Fields(QStringLiteral("丙"), 1)), 3);
}

void OutlineModelTest::modelMapsItemsToNodes() {
    qm::testing::TempDir dir;
    qm::TreeStore store(dir.path());
    fillStore(&store, dir);
    OutlineModel model(&store);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.reload();

    QCOMPARE(model.nodeCount(), 4);
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(model.rowCount(model.indexOfNode(0)), 2);
    const QStringList titles{QStringLiteral("笔记本"), QStringLiteral("甲"), QStringLiteral("乙"),
                             QStringLiteral("丙")};
    const QList<int> parents{-1, 0, 1, 0};
    const QList<int> images{2, 0, 1, 1};
    for (int node = 0; node < 4; ++node) {
        const QModelIndex item = model.indexOfNode(node);
        QVERIFY(item.isValid());
        QCOMPARE(OutlineModel::nodeOf(item), node);
        QCOMPARE(item.data().toString(), titles[node]);
        QCOMPARE(item.data(OutlineModel::kImageRole).toInt(), images[node]);
        QVERIFY(!item.data(Qt::DecorationRole).value<QIcon>().isNull());
        QCOMPARE(OutlineModel::nodeOf(item.parent()), parents[node]);
    }
    // Item positions among siblings: 丙 is the second child of the root.
    QCOMPARE(model.index(1, 0, model.indexOfNode(0)), model.indexOfNode(3));
    QVERIFY(!model.indexOfNode(4).isValid());
    QVERIFY(!model.indexOfNode(-1).isValid());
}

void OutlineModelTest::userExpandAndCollapseAreStored() {
    qm::testing::TempDir dir;
    qm::TreeStore store(dir.path());
    fillStore(&store, dir);
    OutlineModel model(&store);
    model.reload();
    qm::NoteTreeView view(QStringLiteral("树型框笔记本"), &model);
    view.expandNode(0);
    QVERIFY(view.selectNode(1));

    QTest::keyClick(&view, Qt::Key_Right);  // the user opens 甲
    QVERIFY(view.isExpanded(model.indexOfNode(1)));
    QCOMPARE(store.ReadNode(1, qm::kFieldExpandState), std::string("2"));
    QCOMPARE(model.indexOfNode(1).data(OutlineModel::kStateRole).toInt(), 2);

    QTest::keyClick(&view, Qt::Key_Left);  // and closes it again
    QVERIFY(!view.isExpanded(model.indexOfNode(1)));
    QCOMPARE(store.ReadNode(1, qm::kFieldExpandState), std::string("0"));
    // The root was expanded by the program: nothing written for it.
    QCOMPARE(store.ReadNode(0, qm::kFieldExpandState), std::string("0"));
}

void OutlineModelTest::programExpansionIsNotStored() {
    qm::testing::TempDir dir;
    qm::TreeStore store(dir.path());
    fillStore(&store, dir);
    OutlineModel model(&store);
    model.reload();
    qm::NoteTreeView view(QStringLiteral("树型框笔记本"), &model);
    const std::string before = store.image();
    QVERIFY(view.expandNode(0));
    QVERIFY(view.expandNode(1));
    QVERIFY(view.isExpanded(model.indexOfNode(1)));
    QCOMPARE(store.image(), before);
    QVERIFY(!view.expandNode(9));
}

void OutlineModelTest::storedExpansionIsShownAfterReload() {
    qm::testing::TempDir dir;
    qm::TreeStore store(dir.path());
    fillStore(&store, dir);
    QVERIFY(store.SetField(0, qm::kFieldExpandState, "2"));
    QVERIFY(store.SetField(1, qm::kFieldExpandState, "3"));  // expanded and bold
    OutlineModel model(&store);
    qm::NoteTreeView view(QStringLiteral("树型框笔记本"), &model);
    const std::string before = store.image();
    model.reload();
    QVERIFY(view.isExpanded(model.indexOfNode(0)));
    QVERIFY(view.isExpanded(model.indexOfNode(1)));
    QVERIFY(!view.isExpanded(model.indexOfNode(3)));
    QVERIFY(model.indexOfNode(1).data(Qt::FontRole).value<QFont>().bold());
    QVERIFY(!model.indexOfNode(0).data(Qt::FontRole).isValid());
    QCOMPARE(store.image(), before);  // restoring is no user action
}

void OutlineModelTest::reloadFollowsStoreChanges() {
    qm::testing::TempDir dir;
    qm::TreeStore store(dir.path());
    fillStore(&store, dir);
    OutlineModel model(&store);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.reload();
    QCOMPARE(store.AddNode(2, Fields(QStringLiteral("丁"), 1)), 3);  // under 乙, before 丙
    QCOMPARE(model.nodeCount(), 4);                                  // not seen until reload
    model.reload();
    QCOMPARE(model.nodeCount(), 5);
    QCOMPARE(model.indexOfNode(3).data().toString(), QStringLiteral("丁"));
    QCOMPARE(OutlineModel::nodeOf(model.indexOfNode(3).parent()), 2);
    QCOMPARE(model.indexOfNode(4).data().toString(), QStringLiteral("丙"));
    QVERIFY(store.DeleteSubtree(1) > 0);
    model.reload();
    QCOMPARE(model.nodeCount(), 2);
    QCOMPARE(model.indexOfNode(1).data().toString(), QStringLiteral("丙"));
}

namespace {

// 0 R / 1 A / 2 A1 / 3 A1a / 4 A2 / 5 B / 6 C / 7 C1 / 8 D
const std::initializer_list<qm::testing::TreeRow> kTree = {
    {1, "R", 2}, {2, "A", 0}, {3, "A1", 0}, {4, "A1a", 1}, {3, "A2", 1},
    {2, "B", 1}, {2, "C", 0}, {3, "C1", 1}, {2, "D", 1},
};

enum Edit { kAdd, kDelete, kMove, kMoveAsSibling, kCopyIn, kRename };

}  // namespace

void OutlineModelTest::inPlaceUpdatesFollowTheStore_data() {
    QTest::addColumn<int>("edit");
    QTest::addColumn<int>("a");  // the node edited, moved or copied
    QTest::addColumn<int>("b");  // the parent or target
    QTest::addColumn<QString>("outline");

    QTest::newRow("add at the end")
        << int(kAdd) << -1 << 0 << "R#2|.A#0|..A1#0|...A1a#1|..A2#1|.B#1|.C#0|..C1#1|.D#1|.N#1";
    QTest::newRow("add deep in the middle")
        << int(kAdd) << -1 << 3 << "R#2|.A#0|..A1#0|...A1a#1|....N#1|..A2#1|.B#1|.C#0|..C1#1|.D#1";
    QTest::newRow("add behind a folder's children")
        << int(kAdd) << -1 << 1 << "R#2|.A#0|..A1#0|...A1a#1|..A2#1|..N#1|.B#1|.C#0|..C1#1|.D#1";
    QTest::newRow("delete a folder near the start")
        << int(kDelete) << 1 << -1 << "R#2|.B#1|.C#0|..C1#1|.D#1";
    QTest::newRow("delete a deep leaf")
        << int(kDelete) << 3 << -1 << "R#2|.A#0|..A1#0|..A2#1|.B#1|.C#0|..C1#1|.D#1";
    QTest::newRow("delete the last item")
        << int(kDelete) << 8 << -1 << "R#2|.A#0|..A1#0|...A1a#1|..A2#1|.B#1|.C#0|..C1#1";
    QTest::newRow("move a folder down into the last item")
        << int(kMove) << 1 << 8 << "R#2|.B#1|.C#0|..C1#1|.D#1|..A#0|...A1#0|....A1a#1|...A2#1";
    QTest::newRow("move the last item up beside the first")
        << int(kMoveAsSibling) << 8 << 1 << "R#2|.D#1|.A#0|..A1#0|...A1a#1|..A2#1|.B#1|.C#0|..C1#1";
    QTest::newRow("move a folder down beside a folder")
        << int(kMoveAsSibling) << 2 << 6 << "R#2|.A#0|..A2#1|.B#1|.C#0|..C1#1|.A1#0|..A1a#1|.D#1";
    QTest::newRow("move up into a deeper place")
        << int(kMove) << 7 << 3 << "R#2|.A#0|..A1#0|...A1a#1|....C1#1|..A2#1|.B#1|.C#0|.D#1";
    QTest::newRow("move down under the next sibling")
        << int(kMove) << 5 << 6 << "R#2|.A#0|..A1#0|...A1a#1|..A2#1|.C#0|..C1#1|..B#1|.D#1";
    QTest::newRow("move up beside the previous sibling")
        << int(kMoveAsSibling) << 6 << 5 << "R#2|.A#0|..A1#0|...A1a#1|..A2#1|.C#0|..C1#1|.B#1|.D#1";
    QTest::newRow("copy a subtree in below a leaf")
        << int(kCopyIn) << 2 << 5
        << "R#2|.A#0|..A1#0|...A1a#1|..A2#1|.B#1|..A1#0|...A1a#1|.C#0|..C1#1|.D#1";
    QTest::newRow("copy a subtree in before the first item")
        << int(kCopyIn) << 6 << -1
        << "R#2|.C#0|..C1#1|.A#0|..A1#0|...A1a#1|..A2#1|.B#1|.C#0|..C1#1|.D#1";
    QTest::newRow("rename") << int(kRename) << 4 << -1
                            << "R#2|.A#0|..A1#0|...A1a#1|..N#1|.B#1|.C#0|..C1#1|.D#1";
}

void OutlineModelTest::inPlaceUpdatesFollowTheStore() {
    QFETCH(int, edit);
    QFETCH(int, a);
    QFETCH(int, b);
    QFETCH(QString, outline);
    qm::testing::TempDir dir;
    QVERIFY(qm::testing::WriteTree(dir.File("t.qm"), kTree));
    qm::TreeStore store(dir.path());
    QVERIFY(store.Open(dir.File("t.qm")));
    OutlineModel model(&store);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.reload();
    qm::NoteTreeView view(QStringLiteral("树型框笔记本"), &model);
    view.expandAll();
    QVERIFY(view.selectNode(5));  // B
    // Every item by title, as the view holds on to them.
    std::map<QString, QPersistentModelIndex> items;
    for (int node = 0; node < model.nodeCount(); ++node) {
        items[model.indexOfNode(node).data().toString()] = model.indexOfNode(node);
    }
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);

    bool followed = false;
    switch (edit) {
        case kAdd: {
            const int added = store.AddNode(b, Fields(QStringLiteral("N"), 1));
            QVERIFY(added > 0);
            followed = model.insertSubtree(added, 1);
            break;
        }
        case kDelete: {
            const int count = store.DeleteSubtree(a);
            QVERIFY(count > 0);
            followed = model.removeSubtree(a, count);
            break;
        }
        case kMove:
        case kMoveAsSibling: {
            int from = a;
            int to = b;
            QVERIFY(store.MoveSubtree(&from, &to, edit == kMoveAsSibling));
            followed = model.moveSubtree(a, to);
            break;
        }
        case kCopyIn: {
            std::string block;
            int count = 0;
            int depth = 0;
            QVERIFY(store.GetSubtreeBytes(a, &block, &count, &depth));
            int to = b < 0 ? 1 : b;
            QVERIFY(store.MoveSubtree(block, count, depth, &to, b < 0));
            followed = model.insertSubtree(to, count);
            break;
        }
        case kRename:
            QVERIFY(store.SetField(a, qm::kFieldTitle, "N"));
            followed = model.refreshRow(a);
            break;
    }
    QVERIFY(followed);
    QCOMPARE(resets.count(), 0);
    QCOMPARE(qm::testing::OutlineText(store), outline);
    QCOMPARE(qm::testing::ModelMismatch(model, store), QString());
    // The items that stay are the same items: still open, B still current.
    for (const auto& [title, item] : items) {
        if (!item.isValid()) continue;
        if (edit != kRename || title != QStringLiteral("A2"))
            QCOMPARE(item.data().toString(), title);
        if (model.rowCount(item) > 0) QVERIFY2(view.isExpanded(item), qPrintable(title));
    }
    QCOMPARE(view.currentIndex().data().toString(), QStringLiteral("B"));
    QCOMPARE(view.selectedNode(), OutlineModel::nodeOf(items[QStringLiteral("B")]));
}

void OutlineModelTest::updatesTheModelCannotFollowReload_data() {
    QTest::addColumn<int>("edit");
    QTest::addColumn<int>("node");
    QTest::addColumn<int>("count");

    QTest::newRow("insert beyond the end") << int(kAdd) << 20 << 1;
    QTest::newRow("remove a count the subtree does not have") << int(kDelete) << 1 << 2;
    QTest::newRow("remove a node that does not exist") << int(kDelete) << 9 << 1;
    QTest::newRow("move a node that does not exist") << int(kMove) << 9 << 1;
    QTest::newRow("refresh a node that does not exist") << int(kRename) << -1 << 0;
}

void OutlineModelTest::updatesTheModelCannotFollowReload() {
    QFETCH(int, edit);
    QFETCH(int, node);
    QFETCH(int, count);
    qm::testing::TempDir dir;
    QVERIFY(qm::testing::WriteTree(dir.File("t.qm"), kTree));
    qm::TreeStore store(dir.path());
    QVERIFY(store.Open(dir.File("t.qm")));
    OutlineModel model(&store);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.reload();
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    bool followed = true;
    switch (edit) {
        case kAdd:
            followed = model.insertSubtree(node, count);
            break;
        case kDelete:
            followed = model.removeSubtree(node, count);
            break;
        case kMove:
            followed = model.moveSubtree(node, count);
            break;
        default:
            followed = model.refreshRow(node);
    }
    QVERIFY(!followed);
    QCOMPARE(resets.count(), 1);  // rebuilt from the store instead
    QCOMPARE(qm::testing::ModelMismatch(model, store), QString());
}

QTEST_MAIN(OutlineModelTest)
#include "outline_model_test.moc"
