// A one-line text that shows as much as fits its width, cut with "…", and
// its whole text as a tooltip when it is cut. It takes whatever width its
// layout gives it.
#pragma once

#include <QLabel>

namespace talvern {

class ElidedLabel : public QLabel {
    Q_OBJECT
public:
    explicit ElidedLabel(QWidget* parent = nullptr);

    void setFullText(const QString& text);
    const QString& fullText() const { return fullText_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void showFitting();

    QString fullText_;
};

}  // namespace talvern
