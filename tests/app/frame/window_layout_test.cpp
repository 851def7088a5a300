// The window geometry: the numbers of the layout rule, and bars placed through the registry.
#include "app/frame/window_layout.h"

#include <QtTest>

using qm::BarPlace;
using qm::LayoutInput;
using qm::LayoutResult;
using qm::WindowLayout;

class WindowLayoutTest : public QObject {
    Q_OBJECT
private slots:
    void computesGeometry_data();
    void computesGeometry();
    void registeredBarsStackInTheirOrder();
    void unknownBarsAreRefused();
};

void WindowLayoutTest::computesGeometry_data() {
    QTest::addColumn<QSize>("client");
    QTest::addColumn<int>("pathBar");
    QTest::addColumn<bool>("recycleBin");
    QTest::addColumn<QList<int>>("columnBars");
    QTest::addColumn<QList<int>>("bottomBars");
    QTest::addColumn<QRect>("splitter");
    QTest::addColumn<QRect>("notebook");
    QTest::addColumn<QRect>("recycle");
    QTest::addColumn<QRect>("editor");
    QTest::addColumn<QList<QRect>>("columnRects");
    QTest::addColumn<QList<QRect>>("bottomRects");

    const QSize client(1000, 700);
    QTest::newRow("toolbar, trees, editor")
        << client << 0 << false << QList<int>{} << QList<int>{} << QRect(262, 48, 5, 652)
        << QRect(0, 48, 262, 652) << QRect() << QRect(267, 48, 733, 652) << QList<QRect>{}
        << QList<QRect>{};
    QTest::newRow("recycle bin takes the lower half")
        << client << 0 << true << QList<int>{} << QList<int>{} << QRect(262, 48, 5, 652)
        << QRect(0, 48, 262, 326) << QRect(0, 374, 262, 326) << QRect(267, 48, 733, 652)
        << QList<QRect>{} << QList<QRect>{};
    QTest::newRow("odd column height rounds the halves down")
        << QSize(1000, 701) << 0 << true << QList<int>{} << QList<int>{} << QRect(262, 48, 5, 653)
        << QRect(0, 48, 262, 326) << QRect(0, 374, 262, 326) << QRect(267, 48, 733, 653)
        << QList<QRect>{} << QList<QRect>{};
    QTest::newRow("search bar at the bottom")
        << client << 0 << true << QList<int>{} << QList<int>{26} << QRect(262, 48, 5, 626)
        << QRect(0, 48, 262, 313) << QRect(0, 361, 262, 313) << QRect(267, 48, 733, 626)
        << QList<QRect>{} << QList<QRect>{QRect(0, 674, 1000, 26)};
    QTest::newRow("path bar moves the trees down")
        << client << 26 << false << QList<int>{} << QList<int>{} << QRect(262, 74, 5, 626)
        << QRect(0, 74, 262, 626) << QRect() << QRect(267, 74, 733, 626) << QList<QRect>{}
        << QList<QRect>{};
    QTest::newRow("font, tag, typing and reading bars stack above the editor")
        << client << 0 << false << QList<int>{26, 28, 26, 26} << QList<int>{}
        << QRect(262, 48, 5, 652) << QRect(0, 48, 262, 652) << QRect() << QRect(267, 154, 733, 546)
        << QList<QRect>{QRect(267, 48, 733, 26), QRect(267, 74, 733, 28), QRect(267, 102, 733, 26),
                        QRect(267, 128, 733, 26)}
        << QList<QRect>{};
    QTest::newRow("tiny window gives empty boxes, never negative ones")
        << QSize(100, 40) << 0 << true << QList<int>{26} << QList<int>{26} << QRect(262, 48, 5, 0)
        << QRect(0, 48, 262, 0) << QRect(0, 48, 262, 0) << QRect(267, 74, 0, 0)
        << QList<QRect>{QRect(267, 48, 0, 26)} << QList<QRect>{QRect(0, 14, 100, 26)};
}

void WindowLayoutTest::computesGeometry() {
    QFETCH(QSize, client);
    QFETCH(int, pathBar);
    QFETCH(bool, recycleBin);
    QFETCH(QList<int>, columnBars);
    QFETCH(QList<int>, bottomBars);
    LayoutInput in;
    in.client = client;
    in.pathBarHeight = pathBar;
    in.recycleBinShown = recycleBin;
    in.columnBarHeights.assign(columnBars.begin(), columnBars.end());
    in.bottomBarHeights.assign(bottomBars.begin(), bottomBars.end());
    const LayoutResult out = qm::ComputeLayout(in);

    QCOMPARE(out.toolBar, QRect(0, 0, client.width(), 48));
    QTEST(out.splitter, "splitter");
    QTEST(out.notebookTree, "notebook");
    QTEST(out.recycleBinTree, "recycle");
    QTEST(out.editorArea, "editor");
    QTEST(QList<QRect>(out.columnBars.begin(), out.columnBars.end()), "columnRects");
    QTEST(QList<QRect>(out.bottomBars.begin(), out.bottomBars.end()), "bottomRects");
    if (pathBar > 0) QCOMPARE(out.pathBar, QRect(0, 48, client.width(), pathBar));
}

void WindowLayoutTest::registeredBarsStackInTheirOrder() {
    QWidget window;
    auto* toolBar = new QWidget(&window);
    auto* notebook = new QWidget(&window);
    auto* recycle = new QWidget(&window);
    auto* splitter = new QWidget(&window);
    auto* editor = new QWidget(&window);
    auto* reading = new QWidget(&window);
    auto* font = new QWidget(&window);
    auto* tags = new QWidget(&window);
    auto* search = new QWidget(&window);
    WindowLayout layout;
    layout.setToolBar(toolBar);
    layout.setTrees(notebook, recycle);
    layout.setSplitter(splitter);
    layout.setEditorArea(editor);
    // Registered out of order: the order number decides.
    layout.addBar({11, reading, 26, BarPlace::kEditorColumn, 4});
    layout.addBar({8, font, 26, BarPlace::kEditorColumn, 1});
    layout.addBar({9, tags, 28, BarPlace::kEditorColumn, 2});
    layout.addBar({2, search, 26, BarPlace::kBottom, 0});
    layout.setSplitterLeft(200);
    QVERIFY(layout.setBarShown(11, true));
    QVERIFY(layout.setBarShown(8, true));
    QVERIFY(layout.setBarShown(2, true));
    layout.relayout(QSize(800, 600));

    QCOMPARE(font->geometry(), QRect(205, 48, 595, 26));
    QCOMPARE(reading->geometry(), QRect(205, 74, 595, 26));
    QVERIFY(tags->isHidden());
    QCOMPARE(search->geometry(), QRect(0, 574, 800, 26));
    QCOMPARE(editor->geometry(), QRect(205, 100, 595, 474));
    QCOMPARE(notebook->geometry(), QRect(0, 48, 200, 526));
    QVERIFY(recycle->isHidden());

    QVERIFY(layout.setBarShown(2, false));
    layout.setRecycleBinShown(true);
    layout.relayout(QSize(800, 600));
    QVERIFY(search->isHidden());
    QCOMPARE(editor->geometry(), QRect(205, 100, 595, 500));  // the search bar's 26 pixels
    QCOMPARE(notebook->geometry(), QRect(0, 48, 200, 276));
    QCOMPARE(recycle->geometry(), QRect(0, 324, 200, 276));
    QVERIFY(!recycle->isHidden());
}

void WindowLayoutTest::unknownBarsAreRefused() {
    WindowLayout layout;
    QVERIFY(!layout.setBarShown(13, true));  // the calculator has no bar
    QVERIFY(!layout.barShown(13));
    QWidget a;
    QWidget b;
    layout.addBar({8, &a, 26, BarPlace::kEditorColumn, 1});
    layout.setBarShown(8, true);
    layout.addBar({8, &b, 30, BarPlace::kEditorColumn, 1});  // replaces, starts hidden
    QVERIFY(layout.hasBar(8));
    QVERIFY(!layout.barShown(8));
}

QTEST_MAIN(WindowLayoutTest)
#include "window_layout_test.moc"
