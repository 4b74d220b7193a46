// Tooltips for the cells of a list or tree whose text is cut: such a cell
// shows its whole text as its tooltip. A cell with a tooltip of its own keeps
// that one.
#pragma once

#include <QStyledItemDelegate>

namespace talvern {

class TruncatedTextTips : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // Installs the tips on `view`, which owns them.
    static void install(QAbstractItemView& view);

    // Whether the cell at `index` shows less than its whole text.
    bool isCut(const QAbstractItemView& view, const QModelIndex& index) const;

    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;
};

}  // namespace talvern
