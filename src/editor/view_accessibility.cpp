#include "editor/view_accessibility.h"

#include <Qsci/qsciscintillabase.h>

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>

namespace qm {

namespace {

constexpr char kViewClass[] = "QsciScintillaBase";

QAccessibleInterface* PlainViewWhileInactive(const QString& className, QObject* object) {
    // While assistive technology is active, QScintilla's factory (asked next) makes its own.
    if (QAccessible::isActive() || className != QLatin1String(kViewClass)) return nullptr;
    auto* widget = qobject_cast<QWidget*>(object);
    return widget == nullptr ? nullptr : new QAccessibleWidget(widget, QAccessible::EditableText);
}

// Drops the plain interfaces when assistive technology starts, so the views get QScintilla's.
class ActivationObserver : public QAccessible::ActivationObserver {
public:
    void accessibilityActiveChanged(bool active) override {
        if (!active) return;
        for (QWidget* widget : QApplication::allWidgets()) {
            if (qobject_cast<QsciScintillaBase*>(widget) == nullptr) continue;
            if (QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(widget)) {
                QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(iface));
            }
        }
    }
};

}  // namespace

void InstallViewAccessibility() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    QAccessible::installFactory(PlainViewWhileInactive);
    static ActivationObserver observer;
    QAccessible::installActivationObserver(&observer);
}

}  // namespace qm
