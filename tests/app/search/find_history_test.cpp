// The stored form of the find history: split at CR LF on the way in, at most 30 lines out.
#include "app/search/find_history.h"

#include <QtTest>

using qm::JoinFindHistory;
using qm::SplitFindHistory;

Q_DECLARE_METATYPE(std::vector<std::string>)

class FindHistoryTest : public QObject {
    Q_OBJECT
private slots:
    void splitsAtEveryLineBreak_data();
    void splitsAtEveryLineBreak();
    void storesTheFirstThirty();
    void storedFormReadsBackUnchanged();
};

void FindHistoryTest::splitsAtEveryLineBreak_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<std::vector<std::string>>("queries");
    using V = std::vector<std::string>;
    QTest::newRow("empty") << QByteArray("") << V{};
    QTest::newRow("one with line break") << QByteArray("abc\r\n") << V{"abc"};
    QTest::newRow("one without line break") << QByteArray("abc") << V{"abc"};
    QTest::newRow("empty piece between two") << QByteArray("a\r\n\r\nb\r\n") << V{"a", "", "b"};
    QTest::newRow("only a line break") << QByteArray("\r\n") << V{""};
    QTest::newRow("bare LF is part of a query") << QByteArray("a\nb\r\n") << V{"a\nb"};
    QTest::newRow("last without line break") << QByteArray("a\r\nb") << V{"a", "b"};
    QTest::newRow("GB18030 text") << QByteArray("\xB2\xE9\xD5\xD2\r\nx\r\n")
                                  << V{"\xB2\xE9\xD5\xD2", "x"};
}

void FindHistoryTest::splitsAtEveryLineBreak() {
    QFETCH(QByteArray, text);
    QFETCH(std::vector<std::string>, queries);
    const std::vector<std::string> got = SplitFindHistory(text.toStdString());
    QCOMPARE(got.size(), queries.size());
    for (size_t i = 0; i < got.size(); ++i) QCOMPARE(got[i], queries[i]);
}

void FindHistoryTest::storesTheFirstThirty() {
    std::vector<std::string> queries;
    for (int i = 0; i < 31; ++i) queries.push_back("q" + std::to_string(i));
    const std::string stored = JoinFindHistory(queries);
    const std::vector<std::string> back = SplitFindHistory(stored);
    QCOMPARE(back.size(), size_t{30});
    QCOMPARE(back.front(), std::string("q0"));
    QCOMPARE(back.back(), std::string("q29"));
    QVERIFY(stored.size() >= 2 && stored.compare(stored.size() - 2, 2, "\r\n") == 0);
    QCOMPARE(JoinFindHistory({}), std::string());
    QCOMPARE(JoinFindHistory({"a", ""}), std::string("a\r\n\r\n"));
}

void FindHistoryTest::storedFormReadsBackUnchanged() {
    const std::vector<std::string> queries = {"", "a", "", "b c"};
    const std::vector<std::string> back = SplitFindHistory(JoinFindHistory(queries));
    QCOMPARE(back.size(), queries.size());
    for (size_t i = 0; i < back.size(); ++i) QCOMPARE(back[i], queries[i]);
}

QTEST_APPLESS_MAIN(FindHistoryTest)
#include "find_history_test.moc"
