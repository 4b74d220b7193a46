// An up-down control with a buddy edit box: its arrows, and the arrow keys in
// the buddy, step the number in the buddy's text within the time boxes'
// range and write the result back as the buddy's text. It sits at the
// buddy's right edge.
#pragma once

#include <QAbstractSpinBox>
#include <QPointer>

class QLineEdit;

namespace talvern {

class UpDownControl : public QAbstractSpinBox {
    Q_OBJECT
public:
    explicit UpDownControl(QWidget* parent = nullptr);

    // Attaches to `buddy`: moves this control to the buddy's right edge, and
    // narrows the buddy by this control's width.
    void setBuddy(QLineEdit* buddy);

    void stepBy(int steps) override;

protected:
    StepEnabled stepEnabled() const override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QLineEdit> buddy_;
    // The buddy as the event filter meets it; compared without a cast,
    // since its events keep coming while it is being destroyed.
    const QObject* buddyObject_ = nullptr;
};

}  // namespace talvern
