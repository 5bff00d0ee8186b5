// A dialog built from a template: the base of the main dialog and the About
// box. It walks the template to create its controls at their dialog-unit
// positions, runs the data exchange, and gives OK, Cancel, Escape, the close
// command and the system menu their usual meaning.
//
// Linux has no system menu that an application can extend, so the dialog's
// context menu (a right click on its background) stands in for it: it holds
// "&Close" and whatever the dialog appends, and its items are dispatched
// through OnSysCommand with their command ids.
#pragma once

#include "ui/data_exchange.h"
#include "ui/dialog_template.h"

#include <QDialog>

#include <functional>
#include <map>
#include <vector>

class QMenu;

namespace lumora::ui {

// System command ids. The low four bits of an id belong to the system.
inline constexpr unsigned kSystemCommandMask = 0xFFF0;
inline constexpr unsigned SC_CLOSE = 0xF060;

class CDialogEx : public QDialog {
    Q_OBJECT

public:
    CDialogEx(const DialogTemplate& dialogTemplate, QWidget* parent);

    // What the dialog shows outside itself, replaceable so that tests and
    // embedding code do not block on message boxes.
    struct Hooks {
        PromptFunction prompt;                       // the exchange's prompts
        std::function<int(QDialog&)> runModal;       // runs a dialog such as the About box
        std::function<void(QWidget* parent)> help;   // the operator help
        // Asks for a file to open; an empty name when the operator cancels.
        std::function<QString(QWidget* parent, const QString& caption, const QString& filter)> chooseFile;
        // Asks a yes-or-no question; true for yes.
        std::function<bool(QWidget* parent, const QString& question)> ask;
    };
    Hooks hooks;

    // Runs the dialog modally; the result is QDialog::Accepted after OK.
    int DoModal();

    // The control with this id; nullptr for IDC_STATIC or an unknown id.
    QWidget* GetDlgItem(int id) const;
    // Every control in template order, labels included.
    const std::vector<QWidget*>& Controls() const { return controls_; }
    const DialogTemplate& Template() const { return template_; }
    BaseUnits DialogBaseUnits() const { return baseUnits_; }

    // Runs DoDataExchange in one direction. Saving returns false after the
    // first failure, with the prompt shown and the focus on the failing field.
    bool UpdateData(bool saveAndValidate = true);

    // The stand-in system menu (see above).
    QMenu* GetSystemMenu() const { return systemMenu_; }

    // A system command; the default processing knows SC_CLOSE.
    virtual void OnSysCommand(unsigned id);

    void setVisible(bool visible) override;
    void accept() override;
    void reject() override;

protected:
    virtual void DoDataExchange(CDataExchange& dx);
    // Runs once before the window is first shown; loads the controls from the
    // members. Returning true puts the focus on the first tab stop.
    virtual bool OnInitDialog();
    // A click on a control that is not OK or Cancel.
    virtual void OnCommand(int id);
    // OK: exchange with validation, close when it succeeds. Cancel: close.
    virtual void OnOK();
    virtual void OnCancel();
    void EndDialog(int result);

    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void CreateControls();

    const DialogTemplate& template_;
    BaseUnits baseUnits_;
    std::vector<QWidget*> controls_;
    std::map<int, QWidget*> byId_;
    QMenu* systemMenu_;
    bool initialised_ = false;
};

// The hooks' defaults: a warning box, QDialog::exec, the operator help and
// the platform's file chooser.
CDialogEx::Hooks DefaultHooks();

// The font's base units, measured as the dialog manager measures them.
BaseUnits BaseUnitsOf(const QFont& font);

}  // namespace lumora::ui
