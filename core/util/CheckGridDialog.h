#pragma once
// A preferences dialog of switches: rows of check boxes, each row optionally named by a label before it,
// with OK and Cancel. The template is laid out in memory from the rows, so a plug-in whose settings are
// on/off switches needs no dialog resource of its own; it says what the rows are when the dialog opens and
// what OK applies. A row can be greyed (a browser that is not installed): it shows its saved switches and
// OK leaves them alone.
#include "VxApi.h"
#include "util/ModuleDialog.h"

#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace vx {

struct CheckGridBox {
    int id;           // the control's identifier, for tests and for isChecked
    std::string text; // in the active code page
    bool checked;
};

struct CheckGridRow {
    std::string label; // empty: the row has no label
    int labelId;       // the label's control identifier; -1 for none
    std::vector<CheckGridBox> boxes;
    bool enabled;
};

class VX_CORE_API CCheckGridDialog : public CModuleDialog {
public:
    ~CCheckGridDialog() override;

protected:
    explicit CCheckGridDialog(std::string title);

    // The rows as they stand when the dialog opens.
    virtual std::vector<CheckGridRow> rows() const = 0;
    // OK's work, with isChecked telling what the user left in each box.
    virtual void apply() = 0;
    // What the box with id showed when OK was pressed (a greyed row's: what it showed at the start);
    // false for an unknown box.
    bool isChecked(int id) const;

private:
    const DLGTEMPLATE* memoryTemplate() override;
    BOOL onInit() override;
    void onOk() override;

    std::string title;
    std::vector<CheckGridRow> shown;
    std::map<int, bool> states;
    std::vector<WORD> layout; // the template, WORD-aligned as DLGTEMPLATEEX requires
};

// The template of a grid, for the dialog above and for tests of its layout.
VX_CORE_API std::vector<WORD> checkGridTemplate(const std::string& title,
                                                const std::vector<CheckGridRow>& rows);

} // namespace vx
