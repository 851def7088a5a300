// The tree model over outline rows: row parsing, the tree shape built from depths, the item
// model contract (QAbstractItemModelTester) and expansion written back to the store.
#include "app/trees/outline_model.h"

#include <QAbstractItemModelTester>
#include <QtTest>

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

QTEST_MAIN(OutlineModelTest)
#include "outline_model_test.moc"
