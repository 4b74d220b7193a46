// A report-style list's columns: titles and widths, set up in one go.
#pragma once

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
    for (std::size_t i = 0; i < columns.size(); ++i) {
        list.setColumnWidth(static_cast<int>(i), scaledPixels(columns[i].width));
    }
}

}  // namespace talvern
