#include "util/CheckGridDialog.h"

#include "util/VxText.h"

#include <algorithm>

namespace vx {

namespace {

// Dialog units: the margins and sizes the resource templates of the other dialogs use.
constexpr short kMargin = 7;
constexpr short kRowHeight = 14;
constexpr short kGap = 4;
constexpr short kButtonWidth = 50;
constexpr short kButtonHeight = 14;
constexpr WORD kButtonClass = 0x0080;
constexpr WORD kStaticClass = 0x0082;

// A horizontal dialog unit is a quarter of the font's average character: four units a character, and
// room to spare for wide letters, which the template cannot measure.
short textWidth(const std::wstring& text) {
    return static_cast<short>(std::min<std::size_t>(text.size() * 4 + 6, 400));
}

class TemplateWriter {
public:
    void word(WORD value) { words.push_back(value); }
    void dword(DWORD value) {
        word(LOWORD(value));
        word(HIWORD(value));
    }
    void text(const std::wstring& value) {
        words.insert(words.end(), value.begin(), value.end());
        word(0);
    }
    // Items start on a DWORD boundary of the template.
    void alignToDword() {
        if (words.size() % 2)
            word(0);
    }
    void item(DWORD style, short x, short y, short cx, short cy, int id, WORD classAtom,
              const std::wstring& caption) {
        alignToDword();
        dword(0); // help id
        dword(0); // extended style
        dword(style | WS_CHILD | WS_VISIBLE);
        for (short value : {x, y, cx, cy})
            word(static_cast<WORD>(value));
        dword(static_cast<DWORD>(id));
        word(0xFFFF);
        word(classAtom);
        text(caption);
        word(0); // no creation data
    }

    std::vector<WORD> words;
};

} // namespace

std::vector<WORD> checkGridTemplate(const std::string& title, const std::vector<CheckGridRow>& rows) {
    // Column widths: the labels', then each box column's widest text plus the box itself.
    short labelWidth = 0;
    std::vector<short> columns;
    std::size_t controls = 2;
    for (const CheckGridRow& row : rows) {
        if (!row.label.empty())
            labelWidth = std::max(labelWidth, textWidth(widened(row.label)));
        if (row.boxes.size() > columns.size())
            columns.resize(row.boxes.size(), 0);
        for (std::size_t i = 0; i < row.boxes.size(); ++i)
            columns[i] = std::max<short>(columns[i], textWidth(widened(row.boxes[i].text)) + 12);
        controls += row.boxes.size() + (row.label.empty() ? 0 : 1);
    }
    const short boxesLeft = labelWidth ? static_cast<short>(kMargin + labelWidth + kGap) : kMargin;
    short contentRight = boxesLeft;
    for (short width : columns)
        contentRight = static_cast<short>(contentRight + width + kGap);
    const short width = std::max<short>(contentRight - kGap + kMargin, 2 * kMargin + 2 * kButtonWidth + kGap);
    const short buttonsTop = static_cast<short>(kMargin + rows.size() * kRowHeight + kMargin);
    const short height = static_cast<short>(buttonsTop + kButtonHeight + kMargin);

    TemplateWriter out;
    out.word(1);      // DLGTEMPLATEEX version
    out.word(0xFFFF); // its signature
    out.dword(0);     // help id
    out.dword(0);     // extended style
    out.dword(DS_SHELLFONT | DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU);
    out.word(static_cast<WORD>(controls));
    for (short value : {short{0}, short{0}, width, height})
        out.word(static_cast<WORD>(value));
    out.word(0); // no menu
    out.word(0); // the dialog class
    out.text(widened(title));
    out.word(8); // DS_SHELLFONT: 8 point "MS Shell Dlg", mapped to the system's dialog font
    out.word(FW_NORMAL);
    out.word(MAKEWORD(FALSE, DEFAULT_CHARSET));
    out.text(L"MS Shell Dlg");

    bool firstBox = true;
    short top = kMargin;
    for (const CheckGridRow& row : rows) {
        if (!row.label.empty())
            out.item(SS_LEFT, kMargin, static_cast<short>(top + 1), labelWidth, 8, row.labelId, kStaticClass,
                     widened(row.label));
        short left = boxesLeft;
        for (std::size_t i = 0; i < row.boxes.size(); ++i) {
            const DWORD group = firstBox ? WS_GROUP : 0;
            firstBox = false;
            out.item(BS_AUTOCHECKBOX | WS_TABSTOP | group, left, top, columns[i], 10, row.boxes[i].id,
                     kButtonClass, widened(row.boxes[i].text));
            left = static_cast<short>(left + columns[i] + kGap);
        }
        top = static_cast<short>(top + kRowHeight);
    }
    const short cancelLeft = static_cast<short>(width - kMargin - kButtonWidth);
    out.item(BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, static_cast<short>(cancelLeft - kGap - kButtonWidth),
             buttonsTop, kButtonWidth, kButtonHeight, IDOK, kButtonClass, L"OK");
    out.item(BS_PUSHBUTTON | WS_TABSTOP, cancelLeft, buttonsTop, kButtonWidth, kButtonHeight, IDCANCEL,
             kButtonClass, L"Cancel");
    return out.words;
}

CCheckGridDialog::CCheckGridDialog(std::string title)
    : CModuleDialog(0, ICC_STANDARD_CLASSES), title(std::move(title)) {}

CCheckGridDialog::~CCheckGridDialog() = default;

const DLGTEMPLATE* CCheckGridDialog::memoryTemplate() {
    shown = rows();
    layout = checkGridTemplate(title, shown);
    return reinterpret_cast<const DLGTEMPLATE*>(layout.data());
}

BOOL CCheckGridDialog::onInit() {
    for (const CheckGridRow& row : shown) {
        if (row.labelId != -1)
            ::EnableWindow(::GetDlgItem(hwnd, row.labelId), row.enabled);
        for (const CheckGridBox& box : row.boxes) {
            ::CheckDlgButton(hwnd, box.id, box.checked ? BST_CHECKED : BST_UNCHECKED);
            ::EnableWindow(::GetDlgItem(hwnd, box.id), row.enabled);
        }
    }
    return TRUE;
}

void CCheckGridDialog::onOk() {
    states.clear();
    for (const CheckGridRow& row : shown) {
        // A greyed row keeps what it showed: nothing the user could change.
        for (const CheckGridBox& box : row.boxes)
            states[box.id] = row.enabled ? ::IsDlgButtonChecked(hwnd, box.id) == BST_CHECKED : box.checked;
    }
    apply();
}

bool CCheckGridDialog::isChecked(int id) const {
    const auto found = states.find(id);
    return found != states.end() && found->second;
}

} // namespace vx
