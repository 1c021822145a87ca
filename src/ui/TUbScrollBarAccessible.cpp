#include "ui/TUbScrollBarAccessible.h"

#include "ui/UbScrollBar.h"

namespace parlino {

TUbScrollBarAccessible::TUbScrollBarAccessible(TUbScrollBar* bar) : QAccessibleWidget(bar, QAccessible::Slider) {}

TUbScrollBar* TUbScrollBarAccessible::Bar() const { return static_cast<TUbScrollBar*>(widget()); }

void* TUbScrollBarAccessible::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
}

QString TUbScrollBarAccessible::text(QAccessible::Text t) const {
    if (t == QAccessible::Value) return QString::number(Bar()->Position());
    return QAccessibleWidget::text(t);
}

QVariant TUbScrollBarAccessible::currentValue() const { return Bar()->Position(); }
void TUbScrollBarAccessible::setCurrentValue(const QVariant& value) { Bar()->SetPosition(value.toInt()); }
QVariant TUbScrollBarAccessible::maximumValue() const { return Bar()->Max(); }
QVariant TUbScrollBarAccessible::minimumValue() const { return Bar()->Min(); }

void TUbScrollBarAccessible::Install() {
    static const bool installed = [] {
        QAccessible::installFactory([](const QString& className, QObject* object) -> QAccessibleInterface* {
            if (className == QLatin1String("parlino::TUbScrollBar") && object && object->isWidgetType())
                return new TUbScrollBarAccessible(static_cast<TUbScrollBar*>(object));
            return nullptr;
        });
        return true;
    }();
    (void)installed;
}

} // namespace parlino
