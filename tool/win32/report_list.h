// A common-controls list view in report view, as the watch-list dialog and
// the log viewer fill it: fixed columns, rows appended at the end.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>
#include <vector>

namespace talvern {

struct ListColumn {
    const char* title;
    int width;  // pixels
};

// Whole rows selected; every row and column removed, then `columns` added.
void setUpReportList(HWND list, std::initializer_list<ListColumn> columns);

// Appends a row of cells (UTF-8), the first in column 0.
void appendRow(HWND list, const std::vector<std::string>& cells);

// The first selected row, or -1.
int firstSelectedRow(HWND list);

}  // namespace talvern
