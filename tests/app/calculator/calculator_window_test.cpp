// The calculator in the real main window: its button, the stored state across a restart, and
// lines typed into a note rewritten and saved.
#include <QtTest>

#include "app/calculator/calculator_button.h"
#include "app/frame/main_tool_bar.h"
#include "app/note_window.h"
#include "editor/calculator_keys.h"

class CalculatorWindowTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { qm::MessageBox::setAnswerInAdvance(true); }
    void init() {
        w_ = std::make_unique<qm::testing::NoteWindow>();
        w_->writeNotebook(2);
    }
    void cleanup() { w_.reset(); }

    void buttonCarriesCaptionAndTooltipAndStartsUp();
    void stateIsStoredAndRestoredAtStartUp();
    void typedLinesAreRewrittenAndSaved_data();
    void typedLinesAreRewrittenAndSaved();

private:
    QAction* button() { return w_->window().toolBar()->button(qm::CalculatorButton::kButton); }
    // Types `text` into the editor's view key by key, as the user would.
    void typeKeys(const QString& keys);

    std::unique_ptr<qm::testing::NoteWindow> w_;
};

void CalculatorWindowTest::typeKeys(const QString& keys) {
    QWidget* view = w_->editor().focusProxy();
    for (const QChar ch : keys) {
        if (ch == QLatin1Char('\n')) {
            QTest::keyClick(view, Qt::Key_Return);
        } else if (ch == QLatin1Char('+')) {
            QTest::keyClick(view, Qt::Key_Plus, Qt::KeypadModifier);  // the number pad's "+"
        } else {
            QTest::keyClicks(view, QString(ch));
        }
        QCoreApplication::processEvents();
    }
}

void CalculatorWindowTest::buttonCarriesCaptionAndTooltipAndStartsUp() {
    w_->start();
    QAction* calc = button();
    QVERIFY(calc != nullptr);
    QCOMPARE(calc->text(), QStringLiteral("计算"));
    QCOMPARE(calc->toolTip(),
             QStringLiteral("让编辑框支持回车或=号进行运算：加减乘除余数整除次方平方根"));
    QVERIFY(calc->isCheckable());
    QVERIFY(!calc->isChecked());
    QVERIFY(!w_->window().calculator()->keys()->enabled());
}

void CalculatorWindowTest::stateIsStoredAndRestoredAtStartUp() {
    w_->start();
    button()->trigger();
    QVERIFY(button()->isChecked());
    QVERIFY(w_->window().calculator()->keys()->enabled());
    QVERIFY(w_->settingsHold(QStringLiteral("工具条显示.13=真")));

    w_->restart();
    QVERIFY(button()->isChecked());
    QVERIFY(w_->window().calculator()->keys()->enabled());

    button()->trigger();
    QVERIFY(!w_->window().calculator()->keys()->enabled());
    QVERIFY(w_->settingsHold(QStringLiteral("工具条显示.13=假")));
    w_->restart();
    QVERIFY(!button()->isChecked());
    QVERIFY(!w_->window().calculator()->keys()->enabled());
}

void CalculatorWindowTest::typedLinesAreRewrittenAndSaved_data() {
    QTest::addColumn<QString>("keys");  // "+" from the number pad, "\n" Return
    QTest::addColumn<QString>("body");
    QTest::newRow("enter") << "12+3\n"
                           << "12+3=15\r\n";
    QTest::newRow("equals") << "1+2*3="
                            << "1+2*3=7";
    QTest::newRow("two lines") << "1/3\n2^10\n"
                               << "1/3=0.33(0.3333333333333)\r\n2^10=1024\r\n";
    QTest::newRow("no expression") << "hello\n"
                                   << "hello\r\n";
    QTest::newRow("division by zero") << "5/0="
                                      << "5/0=5";
}

void CalculatorWindowTest::typedLinesAreRewrittenAndSaved() {
    QFETCH(QString, keys);
    QFETCH(QString, body);
    w_->writeSettings(QStringLiteral("[主界面]\r\n工具条显示.13=真"));
    w_->start();
    w_->click(1);
    w_->editor().setText({});
    w_->editor().focus();
    typeKeys(keys);
    QCOMPARE(w_->shown(), body);

    w_->restart();  // saved on the way out, read back from the file
    QCOMPARE(qm::FromGb(w_->field(1, qm::kFieldBody)), body);
}

QTEST_MAIN(CalculatorWindowTest)
#include "calculator_window_test.moc"
