// A dialog from the resources run modally, its messages handed to the
// object that runs it.
#pragma once

#include <windows.h>

#include <string>

namespace talvern {

class ModalDialog {
public:
    // Runs dialog template `resource` over `owner` until it ends; its result.
    INT_PTR run(int resource, HWND owner);

    HWND window() const { return window_; }

protected:
    ModalDialog() = default;
    ~ModalDialog() = default;

    // WM_INITDIALOG; the default focus when true.
    virtual bool initialise() = 0;
    // Every other message: true when handled, with `result` as the dialog
    // procedure's answer (SetWindowLongPtr DWLP_MSGRESULT for notifications).
    // By default OK and Cancel end the dialog with their identifier.
    virtual bool handle(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result);

    HWND item(int id) const { return ::GetDlgItem(window_, id); }
    std::string itemText(int id) const;
    void setItemText(int id, const std::string& text) const;
    // A message box owned by this dialog; its answer.
    int ask(const std::string& text, const std::string& caption, UINT style) const;

private:
    static INT_PTR CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    HWND window_ = nullptr;
};

// A message box with UTF-8 texts.
int messageBox(HWND owner, const std::string& text, const std::string& caption, UINT style);

}  // namespace talvern
