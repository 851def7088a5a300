// Path texts of notes: built from the titles on the way down from the root and resolved back,
// over a real notebook file, read both from the store and from the tree model over it.
#include "app/notes/note_path.h"

#include <QtTest>
#include <memory>

#include "app/notes/outline_path_tree.h"
#include "app/trees/outline_model.h"
#include "common/qt_text.h"
#include "store/record_format.h"
#include "store/tree_store.h"
#include "support/temp_dir.h"

namespace {

std::string Gb(const char* utf8) { return qm::ToGb(QString::fromUtf8(utf8)); }

QString Shown(const std::string& gb) { return qm::FromGb(gb); }

// One record with a title and a depth, every other field plain.
std::string Record(const std::string& title, int depth) {
    qm::RecordFields fields;
    fields[0] = title;
    fields[1] = depth == 1 ? "2" : "1";
    fields[2] = fields[1];
    fields[3] = "0";
    fields[4] = "0";
    fields[5] = std::to_string(depth);
    fields[8] = "0";
    fields[9] = "0";
    fields[10] = fields[11] = fields[12] = "2024-01-02 03:04:05";
    return qm::JoinRecord(fields);
}

// The notebook every case runs on (node: title, depth):
//  0 笔记本 1 | 1 a\b 2 | 2 重名 2 | 3 甲 3 | 4 重名 2 | 5 乙 3 | 6 父 2 | 7 子 3 | 8 孙 4 |
//  9 淺水 2 (its second byte is 0x5C) | 10 a%5Cb 3 | 11 a\b 3 | 12 跳级 2 | 13 深 4 | 14 浅 3 |
// 15 Abc 2 | 16 (empty) 3
const char* const kTitles[] = {"笔记本", "a\\b",  "重名", "甲",   "重名", "乙", "父",  "子", "孙",
                               "淺水",   "a%5Cb", "a\\b", "跳级", "深",   "浅", "Abc", ""};
const int kDepths[] = {1, 2, 2, 3, 2, 3, 2, 3, 4, 2, 3, 3, 2, 4, 3, 2, 3};

enum class Source { kStore, kModel };

}  // namespace

class NotePathTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();

    void pathOfNode_data();
    void pathOfNode();
    void resolvesPath_data();
    void resolvesPath();
    void everyUniquePathFindsItsNodeAgain();
    void childrenFollowTheViewsShape();
    void escapeAndSplitKeepTwoByteCharacters();
    void emptyTreeResolvesToNothing();

private:
    const qm::PathTree& tree(Source source) const {
        return source == Source::kStore ? static_cast<const qm::PathTree&>(*storeTree_)
                                        : *modelTree_;
    }

    std::unique_ptr<qm::testing::TempDir> dir_;
    std::unique_ptr<qm::TreeStore> store_;
    std::unique_ptr<qm::OutlineModel> model_;
    std::unique_ptr<qm::StorePathTree> storeTree_;
    std::unique_ptr<qm::OutlinePathTree> modelTree_;
};

void NotePathTest::initTestCase() {
    dir_ = std::make_unique<qm::testing::TempDir>();
    std::string bytes;
    for (size_t i = 0; i < std::size(kTitles); ++i) bytes += Record(Gb(kTitles[i]), kDepths[i]);
    const std::string file = dir_->File("笔记本.qm");
    qm::testing::WriteFileBytes(file, bytes);
    store_ = std::make_unique<qm::TreeStore>(dir_->path());
    QVERIFY(store_->Open(file));
    model_ = std::make_unique<qm::OutlineModel>(store_.get());
    model_->reload();
    QCOMPARE(model_->nodeCount(), static_cast<int>(std::size(kTitles)));
    storeTree_ = std::make_unique<qm::StorePathTree>(store_.get());
    modelTree_ = std::make_unique<qm::OutlinePathTree>(model_.get());
}

void NotePathTest::cleanupTestCase() {
    modelTree_.reset();
    storeTree_.reset();
    model_.reset();
    store_.reset();
    dir_.reset();
}

void NotePathTest::pathOfNode_data() {
    QTest::addColumn<int>("node");
    QTest::addColumn<QString>("replacement");
    QTest::addColumn<QString>("expected");
    QTest::newRow("root") << 0 << QString() << QStringLiteral("QM:\\");
    QTest::newRow("backslash in a title") << 1 << QString() << QStringLiteral("QM:\\a%5Cb");
    QTest::newRow("first of two namesakes") << 3 << QString() << QStringLiteral("QM:\\重名\\甲");
    QTest::newRow("second of two namesakes") << 5 << QString() << QStringLiteral("QM:\\重名\\乙");
    QTest::newRow("three levels") << 8 << QString() << QStringLiteral("QM:\\父\\子\\孙");
    QTest::newRow("trail byte 0x5C is no backslash")
        << 9 << QString() << QStringLiteral("QM:\\淺水");
    QTest::newRow("title holding %5C stays as it is")
        << 10 << QString() << QStringLiteral("QM:\\淺水\\a%5Cb");
    QTest::newRow("depth skipping a level") << 13 << QString() << QStringLiteral("QM:\\跳级\\深");
    QTest::newRow("shallower after a deeper sibling")
        << 14 << QString() << QStringLiteral("QM:\\跳级\\浅");
    QTest::newRow("rename replaces the own title")
        << 7 << QStringLiteral("新名") << QStringLiteral("QM:\\父\\新名");
    QTest::newRow("rename to a backslash title")
        << 7 << QStringLiteral("x\\y") << QStringLiteral("QM:\\父\\x%5Cy");
    QTest::newRow("rename of the root leaves its path")
        << 0 << QStringLiteral("新根") << QStringLiteral("QM:\\");
    QTest::newRow("no selection") << -1 << QString() << QString();
    QTest::newRow("empty title") << 16 << QString() << QStringLiteral("QM:\\Abc");
    QTest::newRow("beyond the last node") << 17 << QString() << QString();
}

void NotePathTest::pathOfNode() {
    QFETCH(int, node);
    QFETCH(QString, replacement);
    QFETCH(QString, expected);
    for (const Source source : {Source::kStore, Source::kModel}) {
        const std::string path = qm::NotePath(tree(source), node, qm::ToGb(replacement));
        QCOMPARE(Shown(path), expected);
    }
}

void NotePathTest::resolvesPath_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("expected");
    QTest::newRow("root path") << QStringLiteral("QM:\\") << 0;
    QTest::newRow("no backslash at all") << QStringLiteral("随便一段文字") << 0;
    QTest::newRow("empty text") << QString() << 0;
    QTest::newRow("upper-case escape") << QStringLiteral("QM:\\a%5Cb") << 1;
    QTest::newRow("lower-case escape") << QStringLiteral("QM:\\a%5cb") << 1;
    QTest::newRow("namesake: the first one") << QStringLiteral("QM:\\重名") << 2;
    QTest::newRow("namesake: child of the first") << QStringLiteral("QM:\\重名\\甲") << 3;
    QTest::newRow("namesake: the second's child is not found")
        << QStringLiteral("QM:\\重名\\乙") << 2;
    QTest::newRow("three levels") << QStringLiteral("QM:\\父\\子\\孙") << 8;
    QTest::newRow("lower-case first piece") << QStringLiteral("qm:\\父\\子\\孙") << 8;
    QTest::newRow("drive letter first piece") << QStringLiteral("D:\\父\\子\\孙") << 8;
    QTest::newRow("empty first piece") << QStringLiteral("\\父\\子\\孙") << 8;
    QTest::newRow("missing piece stops the walk") << QStringLiteral("QM:\\父\\没有\\孙") << 6;
    QTest::newRow("missing last piece") << QStringLiteral("QM:\\父\\子\\没有") << 7;
    QTest::newRow("segment tag ending in backslash") << QStringLiteral("QM:\\父\\子\\") << 7;
    QTest::newRow("first segment tag") << QStringLiteral("QM:\\") << 0;
    QTest::newRow("two trailing backslashes") << QStringLiteral("QM:\\父\\\\") << 6;
    QTest::newRow("grandchild is no child of the root") << QStringLiteral("QM:\\孙") << 0;
    QTest::newRow("trail byte 0x5C is no separator") << QStringLiteral("QM:\\淺水") << 9;
    QTest::newRow("title holding %5C finds the backslash sibling")
        << QStringLiteral("QM:\\淺水\\a%5Cb") << 11;
    QTest::newRow("child past a skipped depth") << QStringLiteral("QM:\\跳级\\深") << 13;
    QTest::newRow("child after a deeper sibling") << QStringLiteral("QM:\\跳级\\浅") << 14;
    QTest::newRow("titles compare case-sensitively") << QStringLiteral("QM:\\abc") << 0;
    QTest::newRow("exact case") << QStringLiteral("QM:\\Abc") << 15;
    // A trailing backslash is a segment's tag, not a call for an empty-titled child.
    QTest::newRow("tag above an empty-titled child") << QStringLiteral("QM:\\Abc\\") << 15;
}

void NotePathTest::resolvesPath() {
    QFETCH(QString, path);
    QFETCH(int, expected);
    for (const Source source : {Source::kStore, Source::kModel}) {
        QCOMPARE(qm::ResolvePath(tree(source), qm::ToGb(path)), expected);
    }
}

void NotePathTest::everyUniquePathFindsItsNodeAgain() {
    // Nodes 4, 5 (a namesake's subtree), 10 (a title holding %5C) and 16 (an empty title)
    // resolve elsewhere.
    for (int node = 0; node < model_->nodeCount(); ++node) {
        if (node == 4 || node == 5 || node == 10 || node == 16) continue;
        const std::string path = qm::NotePath(*modelTree_, node);
        QVERIFY2(qm::ResolvePath(*modelTree_, path) == node, qPrintable(Shown(path)));
    }
}

void NotePathTest::childrenFollowTheViewsShape() {
    for (const Source source : {Source::kStore, Source::kModel}) {
        QCOMPARE(qm::ChildNodes(tree(source), 0), (std::vector<int>{1, 2, 4, 6, 9, 12, 15}));
        QCOMPARE(qm::ChildNodes(tree(source), 12), (std::vector<int>{13, 14}));
        QCOMPARE(qm::ChildNodes(tree(source), 8), std::vector<int>{});
        QCOMPARE(qm::ParentNode(tree(source), 14), 12);
        QCOMPARE(qm::ParentNode(tree(source), 13), 12);
        QCOMPARE(qm::ParentNode(tree(source), 0), -1);
    }
    // The model's own parent links (which the model's tree answers with) agree with the depth
    // rule, walked back over the store's records.
    for (int node = 1; node < model_->nodeCount(); ++node) {
        const QModelIndex parent = model_->parent(model_->indexOfNode(node));
        QCOMPARE(qm::OutlineModel::nodeOf(parent), qm::ParentNode(*storeTree_, node));
        QCOMPARE(qm::ParentNode(*modelTree_, node), qm::ParentNode(*storeTree_, node));
    }
}

void NotePathTest::escapeAndSplitKeepTwoByteCharacters() {
    const std::string shallow = Gb("淺");
    QCOMPARE(shallow, std::string("\x9c\x5c"));
    QCOMPARE(qm::EscapeTitle(shallow + "\\" + shallow), shallow + "%5C" + shallow);
    const std::vector<std::string> pieces = qm::SplitPath("QM:\\" + shallow + "\\x\\");
    QCOMPARE(pieces, (std::vector<std::string>{"QM:", shallow, "x", ""}));
    QCOMPARE(qm::SplitPath(""), std::vector<std::string>{""});
}

void NotePathTest::emptyTreeResolvesToNothing() {
    qm::testing::TempDir dir;
    qm::TreeStore empty(dir.path());
    QVERIFY(empty.Open(dir.File("空.qm")));
    const qm::StorePathTree tree(&empty);
    QCOMPARE(qm::ResolvePath(tree, "QM:\\"), -1);
    QCOMPARE(qm::NotePath(tree, 0), std::string());
}

QTEST_GUILESS_MAIN(NotePathTest)
#include "note_path_test.moc"
