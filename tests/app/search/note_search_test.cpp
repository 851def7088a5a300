// The note search without a window: the two passes, the stop flag read between notes, and an
// invalid expression that searches nothing.
#include "app/search/note_search.h"

#include <QtTest>

#include "app/trees/outline_model.h"
#include "common/qt_text.h"
#include "support/temp_dir.h"

using qm::MatchOptions;
using qm::NoteSearch;
using qm::SearchResult;
using Status = qm::SearchResult::Status;

namespace {

// A notebook of a root and `notes` children "n1", "n2", ...; note `marked` has "needle" in its
// body, every other body is plain filler.
struct Notebook {
    qm::testing::TempDir dir;
    qm::TreeStore store;
    qm::OutlineModel model{&store};

    Notebook(int notes, int marked) {
        store.Open(dir.File("nb.qm"));
        store.BuildOutline();
        qm::NodeFields root;
        root.title = qm::ToGb(QStringLiteral("笔记本"));
        store.AddNode(std::nullopt, root);
        for (int i = 1; i <= notes; ++i) {
            qm::NodeFields note;
            note.title = "n" + std::to_string(i);
            note.body = i == marked ? "some needle here" : "plain filler text";
            store.AddNode(0, note);
        }
        model.reload();
    }
};

}  // namespace

class NoteSearchTest : public QObject {
    Q_OBJECT
private slots:
    void bodySearchPasses_data();
    void bodySearchPasses();
    void stopEndsTheWalkWithoutWrapping();
    void invalidExpressionSearchesNothing_data();
    void invalidExpressionSearchesNothing();
};

void NoteSearchTest::bodySearchPasses_data() {
    QTest::addColumn<int>("marked");
    QTest::addColumn<int>("selected");
    QTest::addColumn<int>("found");
    QTest::addColumn<int>("notesVisited");  // calls between records over both passes
    // 9 nodes: the root and n1..n8.
    QTest::newRow("ahead of the selection") << 6 << 2 << 6 << 4;
    QTest::newRow("behind: second pass from the top") << 2 << 6 << 2 << 2 + 3;
    QTest::newRow("the selected note itself") << 4 << 4 << 4 << 4 + 5;
    QTest::newRow("none, nothing selected: one pass") << 0 << -1 << -1 << 9;
    QTest::newRow("none from the last: a full second pass") << 0 << 8 << -1 << 9;
    QTest::newRow("none from the middle") << 0 << 3 << -1 << 5 + 9;
}

void NoteSearchTest::bodySearchPasses() {
    QFETCH(int, marked);
    QFETCH(int, selected);
    QFETCH(int, found);
    QFETCH(int, notesVisited);
    Notebook nb(8, marked);
    NoteSearch search(&nb.store, &nb.model);
    int visits = 0;
    const SearchResult result =
        search.findTitleOrBody("needle", MatchOptions{}, selected, [&visits] { ++visits; });
    QCOMPARE(result.index, found);
    QCOMPARE(result.status, found < 0 ? Status::kNotFound : Status::kFound);
    if (found >= 0) {
        QCOMPARE(result.matchedPart, 2);
        QCOMPARE(result.matchedText, std::string("some needle here"));
    }
    QCOMPARE(visits, notesVisited);
}

void NoteSearchTest::stopEndsTheWalkWithoutWrapping() {
    Notebook nb(8, 1);  // the hit is behind the selection: only a second pass would find it
    NoteSearch search(&nb.store, &nb.model);
    int visits = 0;
    const SearchResult result = search.findTitleOrBody("needle", MatchOptions{}, 3, [&] {
        if (++visits == 2) search.requestStop();
    });
    QCOMPARE(result.status, Status::kStopped);
    QCOMPARE(result.index, -1);
    QCOMPARE(visits, 2);
    QVERIFY(search.stopRequested());

    // The flag stays until cleared: the next search stops at once.
    visits = 0;
    QCOMPARE(search.findTitleOrBody("needle", MatchOptions{}, 3, [&] { ++visits; }).status,
             Status::kStopped);
    QCOMPARE(visits, 1);
    search.clearStop();
    QCOMPARE(search.findTitleOrBody("needle", MatchOptions{}, 3, [] {}).index, 1);
}

void NoteSearchTest::invalidExpressionSearchesNothing_data() {
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<bool>("bodies");
    QTest::newRow("open group, titles") << QStringLiteral("n(1") << false;
    QTest::newRow("open group, bodies") << QStringLiteral("n(1") << true;
    QTest::newRow("open class, bodies") << QStringLiteral("[a-") << true;
    QTest::newRow("nothing to repeat, titles") << QStringLiteral("*n") << false;
}

void NoteSearchTest::invalidExpressionSearchesNothing() {
    QFETCH(QString, pattern);
    QFETCH(bool, bodies);
    Notebook nb(3, 1);
    NoteSearch search(&nb.store, &nb.model);
    MatchOptions options;
    options.useRegex = true;
    const std::string query = qm::ToGb(pattern);
    int visits = 0;
    const SearchResult result =
        bodies ? search.findTitleOrBody(query, options, 0, [&visits] { ++visits; })
               : search.findTitle(query, options, 0);
    QCOMPARE(result.status, Status::kInvalidPattern);
    QCOMPARE(result.index, -1);
    QCOMPARE(visits, 0);
    QVERIFY(!result.error.empty());
    QCOMPARE(result.error, qm::TextMatcher(query, options).error());
}

QTEST_GUILESS_MAIN(NoteSearchTest)
#include "note_search_test.moc"
