// The program's icon: every built-in size is really drawn, the icon theme's copy wins when a
// theme has it, the built-in copy stands in otherwise, and the main window shows it.
#include "app/window/program_icon.h"

#include <QtTest>

#include "app/note_window.h"
#include "support/temp_dir.h"

namespace {

const QColor kThemeColour(0x12, 0x34, 0x56);

// An icon theme folder "<root>/icons/hicolor" holding a 48-pixel copy of the program's icon in
// one plain colour, so a test can tell it from the built-in drawing.
QString MakeTheme(const qm::testing::TempDir& root) {
    const QString icons = QString::fromStdString(root.File("icons"));
    const QString apps = icons + QStringLiteral("/hicolor/48x48/apps");
    if (!QDir().mkpath(apps)) return {};
    qm::testing::WriteFileBytes((icons + QStringLiteral("/hicolor/index.theme")).toStdString(),
                                "[Icon Theme]\nName=Hicolor\nDirectories=48x48/apps\n\n"
                                "[48x48/apps]\nSize=48\nType=Fixed\n");
    QImage image(48, 48, QImage::Format_ARGB32);
    image.fill(kThemeColour);
    if (!image.save(apps + QStringLiteral("/" QM_APP_ID ".png"))) return {};
    return icons;
}

QRgb Centre(const QIcon& icon, int size) {
    return icon.pixmap(size, size).toImage().pixel(size / 2, size / 2);
}

}  // namespace

class ProgramIconTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup();
    void builtInSizeIsDrawn_data();
    void builtInSizeIsDrawn();
    void themeCopyIsPreferred();
    void builtInCopyStandsInWithoutTheme();
    void mainWindowShowsTheIcon();

private:
    const QStringList defaultSearchPaths_ = QIcon::themeSearchPaths();
};

void ProgramIconTest::cleanup() { QIcon::setThemeSearchPaths(defaultSearchPaths_); }

void ProgramIconTest::builtInSizeIsDrawn_data() {
    QTest::addColumn<int>("size");
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        QTest::addRow("%d", size) << size;
    }
}

void ProgramIconTest::builtInSizeIsDrawn() {
    QFETCH(int, size);
    const QIcon icon = qm::BuiltInProgramIcon();
    QVERIFY(icon.availableSizes().contains(QSize(size, size)));
    const QImage image = icon.pixmap(size, size).toImage();
    QCOMPARE(image.size(), QSize(size, size));
    // A rounded tile: the corner stays transparent, the middle is opaque page.
    QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
    QCOMPARE(qAlpha(image.pixel(size / 2, size / 2)), 255);
}

void ProgramIconTest::themeCopyIsPreferred() {
    qm::testing::TempDir root;
    const QString icons = MakeTheme(root);
    QVERIFY(!icons.isEmpty());
    QIcon::setThemeSearchPaths({icons});
    QCOMPARE(QColor(Centre(qm::ProgramIcon(), 48)), kThemeColour);
}

void ProgramIconTest::builtInCopyStandsInWithoutTheme() {
    qm::testing::TempDir empty;
    QIcon::setThemeSearchPaths({QString::fromStdString(empty.path())});
    const QIcon icon = qm::ProgramIcon();
    QVERIFY(!icon.isNull());
    QCOMPARE(Centre(icon, 48), Centre(qm::BuiltInProgramIcon(), 48));
    QVERIFY(QColor(Centre(icon, 48)) != kThemeColour);
}

void ProgramIconTest::mainWindowShowsTheIcon() {
    qm::testing::TempDir root;
    QIcon::setThemeSearchPaths({MakeTheme(root)});
    qm::testing::NoteWindow session;
    session.writeNotebook(1);
    qm::MainWindow& window = session.start();
    QCOMPARE(QColor(Centre(window.windowIcon(), 48)), kThemeColour);
}

QTEST_MAIN(ProgramIconTest)
#include "program_icon_test.moc"
