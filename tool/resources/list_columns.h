// A report-style list's columns: titles and initial widths, set up in one go.
// The last column takes whatever width the list has left, so the columns
// always fill it.
#pragma once

#include <QHeaderView>
#include <QStringList>
#include <QTreeWidget>
#include <cstddef>
#include <span>

#include "resources/layout_scale.h"

namespace talvern {

struct ListColumn {
    const char* title;
    int width;  // in the layouts' original pixels
};

inline void setListColumns(QTreeWidget& list, std::span<const ListColumn> columns) {
    list.clear();
    list.setColumnCount(static_cast<int>(columns.size()));
    QStringList titles;
    for (const ListColumn& column : columns) titles.append(QString::fromLatin1(column.title));
    list.setHeaderLabels(titles);
    list.header()->setStretchLastSection(true);
    for (std::size_t i = 0; i < columns.size(); ++i) {
        list.setColumnWidth(static_cast<int>(i), scaledPixels(columns[i].width));
    }
}

}  // namespace talvern
