#pragma once
// What screen readers see of the owner-drawn slider: a slider with a value,
// a minimum and a maximum, through the accessibility bus's value interface,
// from the moment it is created (not only after it first moves).

#include <QAccessibleValueInterface>
#include <QAccessibleWidget>

namespace parlino {

class TUbScrollBar;

class TUbScrollBarAccessible final : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit TUbScrollBarAccessible(TUbScrollBar* bar);

    void* interface_cast(QAccessible::InterfaceType type) override;
    QString text(QAccessible::Text t) const override;

    QVariant currentValue() const override;
    void setCurrentValue(const QVariant& value) override;
    QVariant maximumValue() const override;
    QVariant minimumValue() const override;
    QVariant minimumStepSize() const override { return 1; }

    // Makes the accessibility layer use this class for every TUbScrollBar.
    static void Install();

private:
    TUbScrollBar* Bar() const;
};

} // namespace parlino
