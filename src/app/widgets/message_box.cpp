#include "app/widgets/message_box.h"

#include <QAbstractButton>
#include <QQueue>

namespace qm {

namespace {

struct TestState {
    bool inAdvance = false;
    QQueue<QMessageBox::StandardButton> answers;
    QList<MessageBox::Record> shown;
};

TestState& State() {
    static TestState state;
    return state;
}

QMessageBox::StandardButton FirstButton(QMessageBox::StandardButtons buttons) {
    for (quint32 bit = QMessageBox::FirstButton; bit <= QMessageBox::LastButton; bit <<= 1) {
        if (buttons.testFlag(static_cast<QMessageBox::StandardButton>(bit))) {
            return static_cast<QMessageBox::StandardButton>(bit);
        }
    }
    return QMessageBox::NoButton;
}

}  // namespace

QMessageBox::StandardButton MessageBox::warning(QWidget* parent, const QString& text,
                                                QMessageBox::StandardButtons buttons,
                                                const QString& title) {
    return show(Kind::kWarning, parent, title, text, buttons);
}

QMessageBox::StandardButton MessageBox::information(QWidget* parent, const QString& text,
                                                    QMessageBox::StandardButtons buttons,
                                                    const QString& title) {
    return show(Kind::kInformation, parent, title, text, buttons);
}

QMessageBox::StandardButton MessageBox::critical(QWidget* parent, const QString& text,
                                                 QMessageBox::StandardButtons buttons,
                                                 const QString& title) {
    return show(Kind::kCritical, parent, title, text, buttons);
}

QMessageBox::StandardButton MessageBox::question(QWidget* parent, const QString& text,
                                                 QMessageBox::StandardButtons buttons,
                                                 const QString& title,
                                                 QMessageBox::StandardButton defaultButton) {
    return show(Kind::kQuestion, parent, title, text, buttons, defaultButton);
}

QMessageBox::StandardButton MessageBox::ask(
    QWidget* parent, const QString& text,
    const QList<QPair<QMessageBox::StandardButton, QString>>& buttons,
    QMessageBox::StandardButton defaultButton, QMessageBox::StandardButton escapeButton,
    const QString& title) {
    const QString caption = title.isEmpty() ? QStringLiteral("Quelmar·Corvanel") : title;
    TestState& state = State();
    if (state.inAdvance) {
        state.shown.append({Kind::kQuestion, caption, text});
        if (!state.answers.isEmpty()) return state.answers.dequeue();
        return defaultButton;
    }
    QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::NoButton, parent);
    for (const auto& [button, label] : buttons) {
        box.addButton(button);
        box.button(button)->setText(label);
    }
    box.setDefaultButton(defaultButton);
    box.setEscapeButton(escapeButton);
    box.exec();
    QAbstractButton* clicked = box.clickedButton();
    return clicked != nullptr ? box.standardButton(clicked) : escapeButton;
}

void MessageBox::notice(QWidget* parent, const QString& text, const QString& title) {
    const QString caption = title.isEmpty() ? QStringLiteral("Quelmar·Corvanel") : title;
    TestState& state = State();
    if (state.inAdvance) {
        state.shown.append({Kind::kWarning, caption, text});
        return;
    }
    auto* box = new QMessageBox(QMessageBox::Warning, caption, text, QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setAttribute(Qt::WA_ShowWithoutActivating);
    box->setWindowModality(Qt::NonModal);
    box->show();
}

void MessageBox::setAnswerInAdvance(bool on) { State().inAdvance = on; }

void MessageBox::setNextAnswer(QMessageBox::StandardButton answer) {
    State().answers.enqueue(answer);
}

const QList<MessageBox::Record>& MessageBox::shown() { return State().shown; }

void MessageBox::clearShown() {
    State().shown.clear();
    State().answers.clear();
}

QMessageBox::StandardButton MessageBox::show(Kind kind, QWidget* parent, const QString& title,
                                             const QString& text,
                                             QMessageBox::StandardButtons buttons,
                                             QMessageBox::StandardButton defaultButton) {
    const QString caption = title.isEmpty() ? QStringLiteral("Quelmar·Corvanel") : title;
    TestState& state = State();
    if (state.inAdvance) {
        state.shown.append({kind, caption, text});
        if (!state.answers.isEmpty()) return state.answers.dequeue();
        return defaultButton != QMessageBox::NoButton ? defaultButton : FirstButton(buttons);
    }
    switch (kind) {
        case Kind::kInformation:
            return QMessageBox::information(parent, caption, text, buttons);
        case Kind::kWarning:
            return QMessageBox::warning(parent, caption, text, buttons);
        case Kind::kCritical:
            return QMessageBox::critical(parent, caption, text, buttons);
        case Kind::kQuestion:
            return QMessageBox::question(parent, caption, text, buttons, defaultButton);
    }
    return QMessageBox::NoButton;
}

}  // namespace qm
