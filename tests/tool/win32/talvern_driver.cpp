// Drives a running Talvern.exe from outside, the way a user's clicks reach
// it: through the messages its windows receive. Reads the tree and the list
// views through memory in Talvern's process, as their messages need.
//   talvern_driver setup              right-click the icon, choose SETUP(&S)
//   talvern_driver tree               the tree's labels, ports indented
//   talvern_driver menu H P           select port P of hub H, open its menu with the Menu key
//   talvern_driver choose ID          choose command ID from the open port menu
//   talvern_driver command H P ID     menu H P, then choose ID
//   talvern_driver tip H [P]          the tooltip the tree shows for hub H (or its port P)
//   talvern_driver message TITLE      the text of the message box TITLE, then press OK
//   talvern_driver click TITLE ID     press button ID of the window TITLE
//   talvern_driver rows TITLE         the list view's rows, cells tab-separated
//   talvern_driver delete-row TITLE R select row R and press Delete
//   talvern_driver type TITLE ID TEXT put TEXT into the box ID, then print what it shows
//   talvern_driver close TITLE        press OK in the window TITLE
//   talvern_driver exit               EXIT(&X) from the icon's menu; waits for the end
// Every wait ends after a minute at most, as a failure.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr UINT kTrayNotify = WM_APP + 100;
constexpr UINT kTrayIcon = 100;
constexpr int kTreeId = 1000;
constexpr int kListId = 1003;
constexpr int kPortMenuId = 132;
constexpr DWORD kPatienceMs = 60000;

[[noreturn]] void fail(const std::string& why) {
    std::fprintf(stderr, "talvern_driver: %s\n", why.c_str());
    std::exit(1);
}

std::wstring toWide(const char* utf8) {
    const int units = ::MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    std::wstring text(static_cast<std::size_t>(units), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8, -1, text.data(), units);
    text.resize(static_cast<std::size_t>(units > 0 ? units - 1 : 0));
    return text;
}

std::string toUtf8(const wchar_t* text) {
    const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(bytes), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), bytes, nullptr, nullptr);
    utf8.resize(static_cast<std::size_t>(bytes > 0 ? bytes - 1 : 0));
    return utf8;
}

// Polls `find` until it gives a window, for at most kPatienceMs.
template <typename Find>
HWND waitFor(const std::string& what, Find find) {
    const ULONGLONG start = ::GetTickCount64();
    for (;;) {
        if (const HWND window = find()) return window;
        if (::GetTickCount64() - start > kPatienceMs) fail("no " + what + " appeared");
        ::Sleep(50);
    }
}

HWND windowTitled(const char* title) {
    const std::wstring wide = toWide(title);
    return waitFor(std::string("window \"") + title + '"', [&] {
        const HWND window = ::FindWindowW(nullptr, wide.c_str());
        return window != nullptr && ::IsWindowVisible(window) ? window : nullptr;
    });
}

// The hidden window that owns the icon.
HWND trayWindow() {
    return waitFor("tray window", [] { return ::FindWindowW(L"TalvernTrayWnd", L"TrayWnd"); });
}

// A buffer in Talvern's process for the controls' messages that take a pointer.
class RemoteBuffer {
public:
    explicit RemoteBuffer(HWND window) {
        DWORD process = 0;
        ::GetWindowThreadProcessId(window, &process);
        process_ = ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, process);
        if (process_ == nullptr) fail("cannot open Talvern's process");
        address_ = ::VirtualAllocEx(process_, nullptr, kSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
        if (address_ == nullptr) fail("cannot allocate memory in Talvern's process");
    }
    ~RemoteBuffer() {
        ::VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
        ::CloseHandle(process_);
    }
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;

    static constexpr std::size_t kSize = 8192;
    static constexpr std::size_t kTextOffset = 1024;
    static constexpr int kTextUnits = 1024;

    char* at(std::size_t offset) const { return static_cast<char*>(address_) + offset; }
    void write(const void* data, std::size_t size) const {
        if (!::WriteProcessMemory(process_, address_, data, size, nullptr)) fail("cannot write Talvern's memory");
    }
    void read(std::size_t offset, void* data, std::size_t size) const {
        if (!::ReadProcessMemory(process_, at(offset), data, size, nullptr)) fail("cannot read Talvern's memory");
    }
    std::string text() const {
        std::vector<wchar_t> units(kTextUnits + 1, L'\0');
        read(kTextOffset, units.data(), kTextUnits * sizeof(wchar_t));
        return toUtf8(units.data());
    }

private:
    HANDLE process_ = nullptr;
    void* address_ = nullptr;
};

struct TreeItem {
    HTREEITEM handle;
    std::string label;
    LPARAM data;
};

TreeItem treeItem(HWND tree, const RemoteBuffer& buffer, HTREEITEM handle) {
    TVITEMW item{};
    item.mask = TVIF_TEXT | TVIF_PARAM;
    item.hItem = handle;
    item.pszText = reinterpret_cast<wchar_t*>(buffer.at(RemoteBuffer::kTextOffset));
    item.cchTextMax = RemoteBuffer::kTextUnits;
    buffer.write(&item, sizeof item);
    if (!::SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(buffer.at(0)))) fail("TVM_GETITEMW failed");
    buffer.read(0, &item, sizeof item);
    return {handle, buffer.text(), item.lParam};
}

std::vector<TreeItem> children(HWND tree, const RemoteBuffer& buffer, HTREEITEM parent) {
    std::vector<TreeItem> items;
    auto child = reinterpret_cast<HTREEITEM>(
        ::SendMessageW(tree, TVM_GETNEXTITEM, parent == nullptr ? TVGN_ROOT : TVGN_CHILD, reinterpret_cast<LPARAM>(parent)));
    while (child != nullptr) {
        items.push_back(treeItem(tree, buffer, child));
        child = reinterpret_cast<HTREEITEM>(::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(child)));
    }
    return items;
}

// A file in this program's folder.
std::wstring besideThisProgram(const wchar_t* name) {
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path(self);
    path.resize(path.find_last_of(L"\\/") + 1);
    return path + name;
}

// A menu shown by Talvern, running its own loop on Talvern's thread.
HWND openMenu() {
    return waitFor("menu", [] {
        const HWND menu = ::FindWindowW(L"#32768", nullptr);
        return menu != nullptr && ::IsWindowVisible(menu) ? menu : nullptr;
    });
}

HWND mainWindow() { return windowTitled("RAV_Uvidaro 4Port"); }

void setup() {
    const HWND tray = trayWindow();
    ::PostMessageW(tray, kTrayNotify, kTrayIcon, WM_RBUTTONUP);
    openMenu();
    // The menu's own loop reads the keys of Talvern's thread: "S" is SETUP(&S).
    ::PostMessageW(tray, WM_CHAR, L's', 0);
    mainWindow();
}

void printTree() {
    const HWND tree = ::GetDlgItem(mainWindow(), kTreeId);
    const RemoteBuffer buffer(tree);
    for (const TreeItem& hub : children(tree, buffer, nullptr)) {
        std::printf("%s\n", hub.label.c_str());
        for (const TreeItem& port : children(tree, buffer, hub.handle)) std::printf("  %s\n", port.label.c_str());
    }
}

// The tree item of port P of hub H (or of hub H when P < 0).
HTREEITEM treeItemOf(HWND tree, const RemoteBuffer& buffer, int hubIndex, int portIndex) {
    for (const TreeItem& hub : children(tree, buffer, nullptr)) {
        if (hub.data != hubIndex) continue;
        if (portIndex < 0) return hub.handle;
        for (const TreeItem& port : children(tree, buffer, hub.handle)) {
            if (port.data == portIndex) return port.handle;
        }
    }
    fail("no such item in the tree");
}

void portMenu(int hubIndex, int portIndex) {
    const HWND window = mainWindow();
    const HWND tree = ::GetDlgItem(window, kTreeId);
    const RemoteBuffer buffer(tree);
    const HTREEITEM port = treeItemOf(tree, buffer, hubIndex, portIndex);
    ::SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(port));
    // The Menu key: the menu opens at the selected item and runs its own loop.
    ::PostMessageW(window, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(tree), static_cast<LPARAM>(-1));
    openMenu();
}

// Arrow keys reach the command: the first moves onto the first item, each
// further one to the next item that is not a separator. The menu's items
// are read from Talvern.exe's own resources, beside this program.
void choose(int command) {
    const HWND menuWindow = openMenu();
    const HMODULE resources =
        ::LoadLibraryExW(besideThisProgram(L"Talvern.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    const HMENU menu = resources == nullptr ? nullptr : ::LoadMenuW(resources, MAKEINTRESOURCEW(kPortMenuId));
    if (menu == nullptr) fail("cannot read the port menu from Talvern.exe");
    const HMENU popup = ::GetSubMenu(menu, 0);
    int presses = 0;
    bool found = false;
    for (int item = 0; item < ::GetMenuItemCount(popup) && !found; ++item) {
        if ((::GetMenuState(popup, item, MF_BYPOSITION) & MF_SEPARATOR) != 0) continue;
        ++presses;
        found = ::GetMenuItemID(popup, item) == static_cast<UINT>(command);
    }
    ::DestroyMenu(menu);
    ::FreeLibrary(resources);
    if (!found) fail("the port menu has no such command");
    const HWND window = mainWindow();
    for (int press = 0; press < presses; ++press) ::PostMessageW(window, WM_KEYDOWN, VK_DOWN, 0);
    ::PostMessageW(window, WM_KEYDOWN, VK_RETURN, 0);
    waitFor("end of the menu", [&] { return ::IsWindowVisible(menuWindow) ? nullptr : menuWindow; });
    // Answered once the command has run, or once it waits in a message box.
    DWORD_PTR answer = 0;
    if (!::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, kPatienceMs, &answer)) {
        fail("the command did not end");
    }
}

std::string g_tip;
bool g_tipAnswered = false;

LRESULT CALLBACK receiveTip(HWND receiver, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_COPYDATA) return ::DefWindowProcW(receiver, message, wParam, lParam);
    const auto& text = *reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    g_tip = toUtf8(std::wstring(static_cast<const wchar_t*>(text.lpData), text.cbData / sizeof(wchar_t)).c_str());
    g_tipAnswered = true;
    return TRUE;
}

// What the tree asks its owner for when the pointer rests on the item,
// asked by tree_tip_probe.dll inside Talvern's process.
void printTip(int hubIndex, int portIndex) {
    const HWND window = mainWindow();
    const HWND tree = ::GetDlgItem(window, kTreeId);
    if ((::GetWindowLongW(tree, GWL_STYLE) & (TVS_INFOTIP | TVS_NOTOOLTIPS)) != TVS_INFOTIP) {
        fail("the tree does not ask for its items' tooltips");
    }
    HTREEITEM item = nullptr;
    {
        const RemoteBuffer buffer(tree);
        item = treeItemOf(tree, buffer, hubIndex, portIndex);
    }
    WNDCLASSW receiverClass{};
    receiverClass.lpfnWndProc = receiveTip;
    receiverClass.lpszClassName = L"TalvernDriverTip";
    ::RegisterClassW(&receiverClass);
    const HWND receiver =
        ::CreateWindowW(L"TalvernDriverTip", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);

    const HMODULE probe = ::LoadLibraryW(besideThisProgram(L"tree_tip_probe.dll").c_str());
    // Through void*: the export's type is known only to the two programs.
    const auto hook = probe == nullptr ? nullptr
                                       : reinterpret_cast<HOOKPROC>(
                                             reinterpret_cast<void*>(::GetProcAddress(probe, "treeTipProbe")));
    if (hook == nullptr) fail("cannot load tree_tip_probe.dll");
    const HHOOK installed =
        ::SetWindowsHookExW(WH_GETMESSAGE, hook, probe, ::GetWindowThreadProcessId(window, nullptr));
    if (installed == nullptr) fail("cannot hook Talvern's messages");
    ::PostMessageW(window, ::RegisterWindowMessageW(L"TalvernTreeTipProbe"), reinterpret_cast<WPARAM>(item),
                   reinterpret_cast<LPARAM>(receiver));
    const ULONGLONG start = ::GetTickCount64();
    while (!g_tipAnswered) {
        if (::GetTickCount64() - start > kPatienceMs) fail("no tooltip came");
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
    }
    ::UnhookWindowsHookEx(installed);
    ::DestroyWindow(receiver);
    std::printf("%s\n", g_tip.c_str());
}

void click(const char* title, int id) {
    const HWND window = windowTitled(title);
    ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(window, id)));
}

void printRows(const char* title) {
    const HWND list = ::GetDlgItem(windowTitled(title), kListId);
    const RemoteBuffer buffer(list);
    const auto header = reinterpret_cast<HWND>(::SendMessageW(list, LVM_GETHEADER, 0, 0));
    const int columns = static_cast<int>(::SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
    const int rows = static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = -1; row < rows; ++row) {
        for (int column = 0; column < columns; ++column) {
            if (row < 0) {
                LVCOLUMNW entry{};
                entry.mask = LVCF_TEXT;
                entry.pszText = reinterpret_cast<wchar_t*>(buffer.at(RemoteBuffer::kTextOffset));
                entry.cchTextMax = RemoteBuffer::kTextUnits;
                buffer.write(&entry, sizeof entry);
                ::SendMessageW(list, LVM_GETCOLUMNW, column, reinterpret_cast<LPARAM>(buffer.at(0)));
            } else {
                LVITEMW entry{};
                entry.iSubItem = column;
                entry.pszText = reinterpret_cast<wchar_t*>(buffer.at(RemoteBuffer::kTextOffset));
                entry.cchTextMax = RemoteBuffer::kTextUnits;
                buffer.write(&entry, sizeof entry);
                ::SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(buffer.at(0)));
            }
            std::printf("%s%s", column == 0 ? "" : "\t", buffer.text().c_str());
        }
        std::printf("\n");
    }
}

void deleteRow(const char* title, int row) {
    const HWND list = ::GetDlgItem(windowTitled(title), kListId);
    const RemoteBuffer buffer(list);
    LVITEMW state{};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    state.state = LVIS_SELECTED | LVIS_FOCUSED;
    buffer.write(&state, sizeof state);
    ::SendMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(buffer.at(0)));
    DWORD_PTR answer = 0;
    ::SendMessageTimeoutW(list, WM_KEYDOWN, VK_DELETE, 0, SMTO_NORMAL, kPatienceMs, &answer);
}

void typeText(const char* title, int id, const char* text) {
    const HWND box = ::GetDlgItem(windowTitled(title), id);
    const std::wstring typed = toWide(text);
    // The system carries these two messages' texts between the processes.
    ::SendMessageW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(typed.c_str()));
    wchar_t shown[256] = {};
    ::SendMessageW(box, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(shown));
    std::printf("%s\n", toUtf8(shown).c_str());
}

void close(const char* title) {
    const HWND window = windowTitled(title);
    ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(window, IDOK)));
    waitFor(std::string("end of \"") + title + '"', [&] { return ::IsWindow(window) ? nullptr : window; });
}

void printMessage(const char* title) {
    const HWND box = windowTitled(title);
    std::string text;
    for (HWND child = ::GetWindow(box, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
        wchar_t className[16] = {};
        ::GetClassNameW(child, className, 16);
        wchar_t shown[1024] = {};
        ::SendMessageW(child, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(shown));
        if (std::wcscmp(className, L"Static") == 0 && shown[0] != L'\0') text = toUtf8(shown);
    }
    std::printf("%s\n", text.c_str());
    close(title);
}

void exitProgram() {
    const HWND tray = trayWindow();
    DWORD process = 0;
    ::GetWindowThreadProcessId(tray, &process);
    const HANDLE handle = ::OpenProcess(SYNCHRONIZE, FALSE, process);
    ::PostMessageW(tray, kTrayNotify, kTrayIcon, WM_RBUTTONUP);
    openMenu();
    ::PostMessageW(tray, WM_CHAR, L'x', 0);
    if (handle == nullptr || ::WaitForSingleObject(handle, kPatienceMs) != WAIT_OBJECT_0) fail("Talvern did not end");
    ::CloseHandle(handle);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "setup" && argc == 2) {
        setup();
    } else if (command == "tree" && argc == 2) {
        printTree();
    } else if (command == "menu" && argc == 4) {
        portMenu(std::atoi(argv[2]), std::atoi(argv[3]));
    } else if (command == "choose" && argc == 3) {
        choose(std::atoi(argv[2]));
    } else if (command == "command" && argc == 5) {
        portMenu(std::atoi(argv[2]), std::atoi(argv[3]));
        choose(std::atoi(argv[4]));
    } else if (command == "tip" && (argc == 3 || argc == 4)) {
        printTip(std::atoi(argv[2]), argc == 4 ? std::atoi(argv[3]) : -1);
    } else if (command == "message" && argc == 3) {
        printMessage(argv[2]);
    } else if (command == "click" && argc == 4) {
        click(argv[2], std::atoi(argv[3]));
    } else if (command == "rows" && argc == 3) {
        printRows(argv[2]);
    } else if (command == "delete-row" && argc == 4) {
        deleteRow(argv[2], std::atoi(argv[3]));
    } else if (command == "type" && argc == 5) {
        typeText(argv[2], std::atoi(argv[3]), argv[4]);
    } else if (command == "close" && argc == 3) {
        close(argv[2]);
    } else if (command == "exit" && argc == 2) {
        exitProgram();
    } else {
        std::fprintf(stderr, "usage: talvern_driver setup|tree|menu H P|choose ID|command H P ID|tip H [P]|"
                             "message TITLE|click TITLE ID|rows TITLE|delete-row TITLE ROW|type TITLE ID TEXT|"
                             "close TITLE|exit\n");
        return 2;
    }
    return 0;
}
