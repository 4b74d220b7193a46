#include "views/elided_label.h"

namespace talvern {

ElidedLabel::ElidedLabel(QWidget* parent) : QLabel(parent) {
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    setTextFormat(Qt::PlainText);
}

void ElidedLabel::setFullText(const QString& text) {
    fullText_ = text;
    showFitting();
}

void ElidedLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    showFitting();
}

void ElidedLabel::showFitting() {
    const QString shown = fontMetrics().elidedText(fullText_, Qt::ElideRight, contentsRect().width());
    setText(shown);
    setToolTip(shown == fullText_ ? QString() : fullText_);
}

}  // namespace talvern
