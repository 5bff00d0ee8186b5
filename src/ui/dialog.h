// A dialog built from a template: the base of the main dialog, the About box
// and the LED currents. Its back end creates the window and its controls at
// their dialog-unit places, in template order (which is the tab order), and
// turns the window's events into the calls below: a button click into
// OnCommand (whose base sends OK and Cancel on to OnOK and OnCancel; Enter and
// Escape are their clicks),
// the window's close button into OnClose, a system menu item into
// OnSysCommand, a timer into OnTimer, a popup about to open into
// OnInitMenuPopup, a paint into OnPaint.
//
// The system menu: Windows has one, and the dialog appends its items to it.
// Linux has none that an application can extend, so there the dialog's
// context menu (a right click on its background) stands in for it; it holds
// "&Close" and what the dialog appends. On both, a right click on the
// dialog's background opens it, and its items reach OnSysCommand with their
// command ids.
#pragma once

#include "ui/data_exchange.h"
#include "ui/dialog_template.h"
#include "ui/wnd.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace lumora::ui {

// System command ids. The low four bits of an id belong to the system.
inline constexpr unsigned kSystemCommandMask = 0xFFF0;
inline constexpr unsigned SC_CLOSE = 0xF060;

// What a file chooser offers: "Sequence files" and "*.toml".
struct FileFilter {
    std::string name;
    std::string pattern;
};

class CDialogEx : public CWnd {
public:
    // The window and its controls exist from here on, hidden until DoModal
    // (or the back end) shows it; OnInitDialog runs once, just before it is
    // first shown. parent, when given, stays blocked while this dialog runs
    // modally.
    CDialogEx(const DialogTemplate& dialogTemplate, CWnd* parent);
    ~CDialogEx() override;

    // What the dialog shows outside itself, replaceable so that tests and
    // embedding code do not block on message boxes.
    struct Hooks {
        PromptFunction prompt;                    // the exchange's prompts
        std::function<int(CDialogEx&)> runModal;  // runs a dialog such as the About box
        std::function<void(CWnd& parent)> help;   // the operator help
        // Asks for a file to open: the path as the core opens it, empty when
        // the operator cancels.
        std::function<std::string(CWnd& parent, const std::string& caption, const FileFilter& filter)> chooseFile;
        // Asks a yes-or-no question; true for yes.
        std::function<bool(CWnd& parent, const std::string& question)> ask;
    };
    Hooks hooks;

    // Runs the dialog modally until EndDialog; returns its result (IDOK after
    // OK, IDCANCEL after Cancel, Escape and the close command).
    int DoModal();

    // The control with this id; nullptr for IDC_STATIC or an unknown id.
    CWnd* GetDlgItem(int id) const;
    // Every control of the template in template order, labels included.
    const std::vector<CWnd*>& Controls() const { return controls_; }
    const DialogTemplate& Template() const { return template_; }
    CWnd* GetParent() const { return parent_; }

    // Runs DoDataExchange in one direction. Saving returns false after the
    // first failure, with the prompt shown and the focus on the failing field.
    bool UpdateData(bool saveAndValidate = true);

    CMenu* GetSystemMenu() { return &systemMenu_; }
    // The control that has the keyboard focus; nullptr when none of them has.
    CWnd* GetFocusedControl() const;

    // A control beyond the template, such as the status line: created at its
    // dialog-unit place, found by GetDlgItem, outside Controls().
    CWnd* CreateControl(const ControlTemplate& control);
    // Sizes the client area, in dialog units.
    void SetClientSize(int width, int height);
    // Dialog units to pixels with this dialog's font.
    PixelRect MapDialogRect(DialogUnitRect rect) const;

    // OnTimer(id) every milliseconds until KillTimer(id).
    void SetTimer(unsigned id, unsigned milliseconds);
    void KillTimer(unsigned id);
    // The busy pointer over every window of the application, until the
    // matching EndWaitCursor.
    void BeginWaitCursor();
    void EndWaitCursor();
    // OnDescriptorReadable(fd) whenever fd can be read without blocking.
    // false where the back end watches no descriptors.
    bool WatchDescriptor(int fd);

    // A system command; the default processing knows SC_CLOSE.
    virtual void OnSysCommand(unsigned id);

protected:
    virtual void DoDataExchange(CDataExchange& dx);
    // Runs once before the window is first shown; loads the controls from the
    // members. Returning true puts the focus on the first tab stop.
    virtual bool OnInitDialog();
    // A click on a button, by its id; the base knows OK and Cancel.
    virtual void OnCommand(int id);
    // OK: exchange with validation, close when it succeeds. Cancel: close.
    virtual void OnOK();
    virtual void OnCancel();
    // The window's close button or the close command: Cancel.
    virtual void OnClose();
    virtual void OnTimer(unsigned id);
    virtual void OnInitMenuPopup(CMenu* popup);
    virtual void OnDescriptorReadable(int fd);
    // The window needs painting: the base paints the dialog as it is.
    virtual void OnPaint();
    // The cursor shown while the minimised window is dragged; none by default.
    virtual HICON OnQueryDragIcon();
    void EndDialog(int result);

public:
    // The back end's side of the window; it calls the handlers above.
    struct Impl;

private:
    // Keeps a control made by the back end, under its id.
    CWnd* Adopt(std::unique_ptr<CWnd> control, int id);

    const DialogTemplate& template_;
    CWnd* parent_;
    std::vector<std::unique_ptr<CWnd>> owned_;  // every control's handle
    std::vector<CWnd*> controls_;               // the template's, in its order
    std::map<int, CWnd*> byId_;
    CMenu systemMenu_;
    std::unique_ptr<Impl> impl_;
};

// The handle of a control of this kind (CButton, CEdit or CStatic), for the
// back ends as they make the controls.
std::unique_ptr<CWnd> NewControlHandle(ControlKind kind);

// The hooks' defaults: a warning box, DoModal, the operator help, the
// system's file chooser and a question box.
CDialogEx::Hooks DefaultHooks();

}  // namespace lumora::ui
