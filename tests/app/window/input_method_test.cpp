// Chinese typing through an input method (fcitx5, ibus): Qt delivers their pre-edit text and
// committed text as input-method events, and every box the user types Chinese into must take
// them: the editor, the title editor, the search box and the path box.
#include <Qsci/qsciscintillabase.h>

#include <QComboBox>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QToolButton>
#include <QtTest>

#include "app/note_window.h"

using qm::testing::NoteWindow;

namespace {

// Opens the box named `box` the way the user does and returns the widget that gets the keys.
QWidget* OpenBox(const QString& box, NoteWindow& session) {
    qm::MainWindow& window = session.window();
    if (box == QLatin1String("editor")) return session.editor().findChild<QsciScintillaBase*>();
    if (box == QLatin1String("search")) {
        auto* query = window.findChild<QComboBox*>(QStringLiteral("组合框查找内容"));
        return query != nullptr ? query->lineEdit() : nullptr;
    }
    if (box == QLatin1String("title")) {
        QTest::keyClick(&session.view(), Qt::Key_F2);
        return window.findChild<QLineEdit*>(QStringLiteral("标题编辑框"));
    }
    auto* button = window.findChild<QToolButton*>(QStringLiteral("超级按钮1"));
    if (button == nullptr) return nullptr;
    button->click();
    return window.findChild<QLineEdit*>(QStringLiteral("编辑框路径"));
}

QString TextOf(const QString& box, QWidget* target, NoteWindow& session) {
    if (box == QLatin1String("editor")) return session.shown();
    return static_cast<QLineEdit*>(target)->text();
}

}  // namespace

class InputMethodTest : public QObject {
    Q_OBJECT
private slots:
    void committedTextIsTyped_data();
    void committedTextIsTyped();
};

void InputMethodTest::committedTextIsTyped_data() {
    QTest::addColumn<QString>("box");
    for (const char* box : {"editor", "title", "search", "path"}) QTest::newRow(box) << box;
}

void InputMethodTest::committedTextIsTyped() {
    QFETCH(QString, box);
    NoteWindow session;
    session.writeNotebook(2);
    session.start();
    session.click(1);
    QWidget* target = OpenBox(box, session);
    QVERIFY(target != nullptr);
    QVERIFY(target->testAttribute(Qt::WA_InputMethodEnabled));
    target->setFocus();

    // The composition shows while the user spells, then the chosen characters replace it
    // (a rare Extension B ideograph among them).
    QInputMethodEvent preedit(QStringLiteral("zhongwen"), {});
    QCoreApplication::sendEvent(target, &preedit);
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("中文𠀀"));
    QCoreApplication::sendEvent(target, &commit);

    const QString text = TextOf(box, target, session);
    QVERIFY2(text.contains(QStringLiteral("中文𠀀")), qPrintable(text));
    QVERIFY2(!text.contains(QStringLiteral("zhongwen")), qPrintable(text));
}

QTEST_MAIN(InputMethodTest)
#include "input_method_test.moc"
