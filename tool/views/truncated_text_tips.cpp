#include "views/truncated_text_tips.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QToolTip>

namespace talvern {

void TruncatedTextTips::install(QAbstractItemView& view) { view.setItemDelegate(new TruncatedTextTips(&view)); }

bool TruncatedTextTips::isCut(const QAbstractItemView& view, const QModelIndex& index) const {
    QStyleOptionViewItem option;
    option.initFrom(view.viewport());
    option.rect = view.visualRect(index);
    initStyleOption(&option, index);
    QStyle* style = view.style();
    const QRect room = style->subElementRect(QStyle::SE_ItemViewItemText, &option, &view);
    // The style keeps this margin on either side of a cell's text.
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &view) + 1;
    return option.fontMetrics.horizontalAdvance(option.text) > room.width() - 2 * margin;
}

bool TruncatedTextTips::helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                                  const QModelIndex& index) {
    if (event == nullptr || view == nullptr || event->type() != QEvent::ToolTip || !index.isValid() ||
        index.data(Qt::ToolTipRole).isValid()) {
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    }
    if (isCut(*view, index)) {
        QToolTip::showText(event->globalPos(), index.data(Qt::DisplayRole).toString(), view->viewport(),
                           option.rect);
    } else {
        QToolTip::hideText();
    }
    return true;
}

}  // namespace talvern
