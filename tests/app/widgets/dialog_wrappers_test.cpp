// The message box and file dialog wrappers answer in advance and record what was shown.
#include <QtTest>

#include "app/widgets/file_dialog.h"
#include "app/widgets/message_box.h"

class DialogWrappersTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void messagesAreRecordedAndAnswered();
    void fileDialogTakesQueuedNames();
    void questionWithoutAnswerTakesItsDefaultButton();
};

void DialogWrappersTest::init() {
    qm::MessageBox::setAnswerInAdvance(true);
    qm::MessageBox::clearShown();
    qm::FileDialog::reset();
}

void DialogWrappersTest::messagesAreRecordedAndAnswered() {
    QCOMPARE(qm::MessageBox::warning(nullptr, QStringLiteral("添加失败")), QMessageBox::Ok);
    qm::MessageBox::setNextAnswer(QMessageBox::No);
    QCOMPARE(qm::MessageBox::question(nullptr, QStringLiteral("确定吗？")), QMessageBox::No);
    QCOMPARE(qm::MessageBox::question(nullptr, QStringLiteral("再问")), QMessageBox::Yes);
    const QList<qm::MessageBox::Record>& shown = qm::MessageBox::shown();
    QCOMPARE(shown.size(), 3);
    QCOMPARE(shown[0].kind, qm::MessageBox::Kind::kWarning);
    QCOMPARE(shown[0].text, QStringLiteral("添加失败"));
    QCOMPARE(shown[0].title, QStringLiteral("Quelmar·Corvanel"));
    QCOMPARE(shown[1].kind, qm::MessageBox::Kind::kQuestion);
}

void DialogWrappersTest::fileDialogTakesQueuedNames() {
    qm::FileDialog::setNextFileName(QStringLiteral("/tmp/a.wav"));
    qm::FileDialog::setNextFileName(QString());  // the user cancels the second one
    QCOMPARE(qm::FileDialog::getSaveFileName(nullptr, QStringLiteral("保存")),
             QStringLiteral("/tmp/a.wav"));
    QCOMPARE(qm::FileDialog::getExistingDirectory(nullptr, QStringLiteral("选择")), QString());
    QCOMPARE(qm::FileDialog::answeredCount(), 2);
}

void DialogWrappersTest::questionWithoutAnswerTakesItsDefaultButton() {
    const QMessageBox::StandardButtons yesNo = QMessageBox::Yes | QMessageBox::No;
    QCOMPARE(qm::MessageBox::question(nullptr, QStringLiteral("保留路径？"), yesNo, {},
                                      QMessageBox::No),
             QMessageBox::No);
    qm::MessageBox::setNextAnswer(QMessageBox::Yes);
    QCOMPARE(qm::MessageBox::question(nullptr, QStringLiteral("保留路径？"), yesNo, {},
                                      QMessageBox::No),
             QMessageBox::Yes);
}

QTEST_MAIN(DialogWrappersTest)
#include "dialog_wrappers_test.moc"
