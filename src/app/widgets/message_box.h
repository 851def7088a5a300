// Every message box of the program goes through here, so that a test can answer a box in
// advance and read back what would have been shown.
#pragma once

#include <QList>
#include <QMessageBox>
#include <QPair>
#include <QString>

namespace qm {

class MessageBox {
public:
    enum class Kind { kInformation, kWarning, kCritical, kQuestion };
    struct Record {
        Kind kind;
        QString title;
        QString text;
    };

    // Shows a modal box and returns the button that closed it. The title defaults to the
    // program's name.
    static QMessageBox::StandardButton warning(
        QWidget* parent, const QString& text,
        QMessageBox::StandardButtons buttons = QMessageBox::Ok, const QString& title = {});
    static QMessageBox::StandardButton information(
        QWidget* parent, const QString& text,
        QMessageBox::StandardButtons buttons = QMessageBox::Ok, const QString& title = {});
    static QMessageBox::StandardButton critical(
        QWidget* parent, const QString& text,
        QMessageBox::StandardButtons buttons = QMessageBox::Ok, const QString& title = {});
    // `defaultButton` is the one Enter chooses (Qt's choice when NoButton); answered in
    // advance with an empty queue, it is the answer.
    static QMessageBox::StandardButton question(
        QWidget* parent, const QString& text,
        QMessageBox::StandardButtons buttons = QMessageBox::Yes | QMessageBox::No,
        const QString& title = {},
        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);

    // A question whose buttons carry their own captions (the standard buttons stand for the
    // answers); Esc gives `escapeButton`. Answered in advance like question().
    static QMessageBox::StandardButton ask(
        QWidget* parent, const QString& text,
        const QList<QPair<QMessageBox::StandardButton, QString>>& buttons,
        QMessageBox::StandardButton defaultButton, QMessageBox::StandardButton escapeButton,
        const QString& title = {});

    // A warning that does not stop the user: shown without taking the focus and without
    // blocking the window (keystrokes go on into the editor). Recorded like warning().
    static void notice(QWidget* parent, const QString& text, const QString& title = {});

    // Test hooks. While answering in advance is on, no box is shown: each one is recorded
    // and answered with the next queued answer, or, when the queue is empty, with the first
    // of its buttons (Ok, Yes, ...) or the default button where one is given.
    static void setAnswerInAdvance(bool on);
    static void setNextAnswer(QMessageBox::StandardButton answer);
    static const QList<Record>& shown();
    static void clearShown();

private:
    static QMessageBox::StandardButton show(
        Kind kind, QWidget* parent, const QString& title, const QString& text,
        QMessageBox::StandardButtons buttons,
        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
};

}  // namespace qm
