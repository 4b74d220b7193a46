#include "report_list.h"

#include <commctrl.h>

#include "platform/wide_text.h"

namespace talvern {

using platform::utf16;
using platform::wide;

void setUpReportList(HWND list, std::initializer_list<ListColumn> columns) {
    const auto extended = ListView_GetExtendedListViewStyle(list);
    ListView_SetExtendedListViewStyle(list, extended | LVS_EX_FULLROWSELECT);
    ListView_DeleteAllItems(list);
    while (ListView_DeleteColumn(list, 0)) {
    }
    int number = 0;
    for (const ListColumn& column : columns) {
        std::u16string title = utf16(column.title);
        LVCOLUMNW entry{};
        entry.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM | LVCF_FMT;
        entry.fmt = LVCFMT_LEFT;
        entry.cx = column.width;
        entry.pszText = const_cast<wchar_t*>(wide(title));
        entry.iSubItem = number;
        ::SendMessageW(list, LVM_INSERTCOLUMNW, number, reinterpret_cast<LPARAM>(&entry));
        ++number;
    }
}

void appendRow(HWND list, const std::vector<std::string>& cells) {
    if (cells.empty()) return;
    std::u16string first = utf16(cells.front());
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = ListView_GetItemCount(list);
    item.pszText = const_cast<wchar_t*>(wide(first));
    const int row = static_cast<int>(::SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    if (row < 0) return;
    for (std::size_t column = 1; column < cells.size(); ++column) {
        std::u16string text = utf16(cells[column]);
        LVITEMW cell{};
        cell.iSubItem = static_cast<int>(column);
        cell.pszText = const_cast<wchar_t*>(wide(text));
        ::SendMessageW(list, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&cell));
    }
}

int firstSelectedRow(HWND list) { return ListView_GetNextItem(list, -1, LVNI_SELECTED); }

}  // namespace talvern
