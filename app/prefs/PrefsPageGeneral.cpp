#include "PrefsPageGeneral.h"

#include "window/Dpi.h"
#include "window/KeyNames.h"
#include "window/SearchWindow.h"
#include "Startup.h"
#include "engine/VVerbinoxCore.h"
#include "res/prefs_resource.h"
#include "util/SystemText.h"

#include <commdlg.h>

#include <algorithm>
#include <cstdlib>

namespace {

bool showFontDialog(HWND owner, LOGFONTA& font, COLORREF& color) {
    // The dialog reads and writes heights in pixels at the screen's DPI; the core keeps them at 96.
    LOGFONTW wide = vx::wideFont(vx::fontForDpi(font, 96, vx::systemDpi()));
    CHOOSEFONTW choice{};
    choice.lStructSize = sizeof(choice);
    choice.hwndOwner = owner;
    choice.lpLogFont = &wide;
    choice.Flags = CF_SCREENFONTS | CF_EFFECTS | CF_INITTOLOGFONTSTRUCT;
    choice.rgbColors = color;
    if (!::ChooseFontW(&choice))
        return false;
    font = vx::fontForDpi(vx::narrowFont(wide), vx::systemDpi(), 96);
    color = choice.rgbColors;
    return true;
}
PrefsPageGeneral::FontChooser fontChooser = &showFontDialog;

// The keys by which a dialog is worked from the keyboard: the box leaves them to the dialog manager.
bool isDialogKey(WPARAM key) {
    return key == VK_TAB || key == VK_ESCAPE || key == VK_RETURN;
}

bool isModifierKey(WPARAM key) {
    switch (key) {
    case VK_SHIFT:
    case VK_CONTROL:
    case VK_MENU:
    case VK_LWIN:
    case VK_RWIN:
    case VK_LSHIFT:
    case VK_RSHIFT:
    case VK_LCONTROL:
    case VK_RCONTROL:
    case VK_LMENU:
    case VK_RMENU:
        return true;
    default:
        return false;
    }
}

// "Ctrl+Alt+F5": how the message names a combination.
std::string describeHotKey(UINT key, UINT modifiers) {
    std::string text;
    if (modifiers & MOD_CONTROL)
        text += "Ctrl+";
    if (modifiers & MOD_ALT)
        text += "Alt+";
    if (modifiers & MOD_SHIFT)
        text += "Shift+";
    if (modifiers & MOD_WIN)
        text += "Win+";
    return text + keyName(key);
}

const struct {
    int id;
    UINT flag;
} kModifierBoxes[] = {{IDC_PREFS_HOTKEYALT, MOD_ALT},
                      {IDC_PREFS_HOTKEYCTRL, MOD_CONTROL},
                      {IDC_PREFS_HOTKEYSHIFT, MOD_SHIFT},
                      {IDC_PREFS_HOTKEYWIN, MOD_WIN}};

// The search box's text size as typed: a whole number brought within the sizes the box can use (a
// number too long for any size counts as the largest). False for an empty box or other text, which
// ES_NUMBER does not keep out of a paste.
bool readBoxFontSize(HWND edit, int& points) {
    const std::string text = vx::windowText(edit);
    const char* begin = text.c_str();
    char* end = nullptr;
    const long value = std::strtol(begin, &end, 10);
    if (end == begin || *end)
        return false;
    points = static_cast<int>(
        std::clamp<long>(value, VWindowSettings::kMinBoxFontSize, VWindowSettings::kMaxBoxFontSize));
    return true;
}

} // namespace

PrefsPageGeneral::PrefsPageGeneral(CVerbinoxDlg* window)
    : PrefsPage(window, IDD_PREFS_GENERAL, "General"), fonts{{IDC_PREFS_FONTSINGLE, {}, 0, {}},
                                                             {IDC_PREFS_FONTLINE1, {}, 0, {}},
                                                             {IDC_PREFS_FONTLINE2, {}, 0, {}}},
      newWindow{IDC_PREFS_NEWWINDOW} {}

PrefsPageGeneral::FontChooser PrefsPageGeneral::setFontChooser(FontChooser chooser) {
    FontChooser previous = fontChooser;
    fontChooser = chooser ? chooser : &showFontDialog;
    return previous;
}

void PrefsPageGeneral::onInitPage() {
    const VWindowSettings& settings = window->getSettings();
    VVerbinoxCore* core = VVerbinoxCore::instance();
    setChecked(IDC_PREFS_STARTWITHWINDOWS, startup::shortcutExists(startup::startupShortcutPath()));
    setChecked(IDC_PREFS_QUICKLAUNCH, startup::shortcutExists(startup::quickLaunchShortcutPath()));
    setChecked(IDC_PREFS_AUTOHIDE, settings.autoHide);
    setChecked(IDC_PREFS_HIDEONDEACTIVATE, settings.hideOnDeactivate);
    setChecked(IDC_PREFS_ALWAYSSHOWLIST, settings.alwaysShowList);
    setChecked(IDC_PREFS_SHOWICONS, window->getList().getShowIcons());
    setChecked(IDC_PREFS_TWOLINES, window->getList().getTwoLines());
    setChecked(IDC_PREFS_UPDATESONSTART, settings.checkForUpdates);
    setChecked(IDC_PREFS_PLUGINSBROWSER, core->getOpenUrlsInPluginsBrowser());
    setChecked(IDC_PREFS_NEWWINDOW, core->getOpenUrlsInNewWindow());
    updateUrlOptions();

    hotKey = settings.hotKey;
    vx::setDlgItemText(hwnd, IDC_PREFS_HOTKEY, keyName(hotKey));
    ::SetWindowSubclass(::GetDlgItem(hwnd, IDC_PREFS_HOTKEY), &PrefsPageGeneral::hotKeyProc, 1,
                        reinterpret_cast<DWORD_PTR>(this));
    for (const auto& box : kModifierBoxes)
        setChecked(box.id, (settings.hotKeyModifier & box.flag) != 0);

    ::SendDlgItemMessageA(hwnd, IDC_PREFS_BOXFONTSIZESPIN, UDM_SETRANGE32, VWindowSettings::kMinBoxFontSize,
                          VWindowSettings::kMaxBoxFontSize);
    ::SendDlgItemMessageA(hwnd, IDC_PREFS_BOXFONTSIZESPIN, UDM_SETPOS32, 0, settings.boxFontSize);
    ::SetDlgItemInt(hwnd, IDC_PREFS_BOXFONTSIZE, static_cast<UINT>(settings.boxFontSize), FALSE);

    core->getFont(&fonts[0].font);
    core->getFont1(&fonts[1].font);
    core->getFont2(&fonts[2].font);
    fonts[0].color = core->getTextColor();
    fonts[1].color = core->getTextColor1();
    fonts[2].color = core->getTextColor2();
    for (FontChoice& choice : fonts)
        choice.shown.Reset(vx::createFont(choice.font));

    addToolTip(IDC_PREFS_STARTWITHWINDOWS, "Start Verbinox when you log on to Windows");
    addToolTip(IDC_PREFS_AUTOHIDE,
               "Auto-hide search window on startup and after completing searches/actions");
    addToolTip(IDC_PREFS_HIDEONDEACTIVATE,
               "With autohide, also hide the search window when you switch to another program");
    addToolTip(IDC_PREFS_ALWAYSSHOWLIST, "Keep the results list always showing");
    addToolTip(IDC_PREFS_SHOWICONS,
               "Show icons in the results list.\nTurning this off may speed up display of the list");
    addToolTip(IDC_PREFS_TWOLINES,
               "Show two lines of text for each result.\nDoes not affect \"File Browsing Mode\"");
    addToolTip(IDC_PREFS_UPDATESONSTART,
               "Check for updates when Verbinox launches.\nNo information (personal "
               "and non-personal) is sent whatsover.");
    addToolTip(IDC_PREFS_PLUGINSBROWSER, "Open URL's in the browser that created them");
    addToolTip(IDC_PREFS_NEWWINDOW,
               "Open URL's in new browser window. Otherwise reuse existing window.\n(Does "
               "not work with previous option.");
    addToolTip(IDC_PREFS_BOXFONTSIZE, "Size in points of the text in the search box");
    addToolTip(IDC_PREFS_BOXFONTSIZESPIN, "Size in points of the text in the search box");
    addToolTip(IDC_PREFS_HOTKEY, "Global hot-key used to activate search\nwhen hidden or out of focus");
    addToolTip(IDC_PREFS_FONTSINGLE, "Set font for text when showing results in 1 line only");
    addToolTip(IDC_PREFS_FONTLINE1, "Set font first line of text when showing results on 2 lines");
    addToolTip(IDC_PREFS_FONTLINE2, "Set font second line of text when showing results on 2 lines");
}

void PrefsPageGeneral::updateUrlOptions() {
    // A URL opened in its plug-in's browser opens however that browser likes: no new-window choice.
    showDependentOption(newWindow, !isChecked(IDC_PREFS_PLUGINSBROWSER));
}

UINT PrefsPageGeneral::getModifiers() const {
    UINT modifiers = 0;
    for (const auto& box : kModifierBoxes) {
        if (isChecked(box.id))
            modifiers |= box.flag;
    }
    return modifiers;
}

LRESULT CALLBACK PrefsPageGeneral::hotKeyProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam,
                                              UINT_PTR id, DWORD_PTR self) {
    auto* page = reinterpret_cast<PrefsPageGeneral*>(self);
    switch (message) {
    case WM_GETDLGCODE: {
        // Every other key is a candidate, arrows and Space included, so the dialog manager must not take
        // it first. wParam is the key (or character) the dialog manager asks about.
        const LRESULT code = ::DefSubclassProc(edit, message, wParam, lParam);
        if (isDialogKey(wParam))
            return code & ~(DLGC_WANTALLKEYS | DLGC_WANTTAB | DLGC_WANTMESSAGE);
        return code | DLGC_WANTALLKEYS;
    }
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        if (isModifierKey(wParam) || isDialogKey(wParam))
            break;
        page->hotKey = static_cast<UINT>(wParam);
        vx::setWindowText(edit, keyName(page->hotKey));
        return 0;
    case WM_KEYUP:
    case WM_SYSKEYUP:
    case WM_CHAR:
    case WM_SYSCHAR:
    case WM_DEADCHAR:
    case WM_SYSDEADCHAR:
    // The box shows the captured key's name; nothing may edit it.
    case WM_PASTE:
    case WM_CUT:
    case WM_CLEAR:
    case WM_UNDO:
        return 0;
    case WM_NCDESTROY:
        ::RemoveWindowSubclass(edit, &PrefsPageGeneral::hotKeyProc, id);
        break;
    }
    return ::DefSubclassProc(edit, message, wParam, lParam);
}

PrefsPageGeneral::FontChoice* PrefsPageGeneral::choiceOf(int buttonId) {
    for (FontChoice& choice : fonts) {
        if (choice.buttonId == buttonId)
            return &choice;
    }
    return nullptr;
}

void PrefsPageGeneral::chooseFont(int buttonId) {
    FontChoice* choice = choiceOf(buttonId);
    if (!choice)
        return;
    LOGFONTA font = choice->font;
    COLORREF color = choice->color;
    if (!fontChooser(hwnd, font, color))
        return;
    choice->font = font;
    choice->color = color;
    choice->shown.Reset(vx::createFont(choice->font));
    ::InvalidateRect(::GetDlgItem(hwnd, buttonId), nullptr, TRUE);
}

void PrefsPageGeneral::drawFontButton(const DRAWITEMSTRUCT& item) {
    const FontChoice* choice = choiceOf(static_cast<int>(item.CtlID));
    RECT face = item.rcItem;
    ::DrawFrameControl(item.hDC, &face, DFC_BUTTON,
                       DFCS_BUTTONPUSH | ((item.itemState & ODS_SELECTED) ? DFCS_PUSHED : 0));
    const std::string text = vx::windowText(item.hwndItem);
    HGDIOBJ previous = ::SelectObject(item.hDC, choice && choice->shown ? choice->shown.Get()
                                                                        : ::GetStockObject(DEFAULT_GUI_FONT));
    ::SetBkMode(item.hDC, TRANSPARENT);
    ::SetTextColor(item.hDC, (item.itemState & ODS_DISABLED) ? ::GetSysColor(COLOR_GRAYTEXT)
                             : choice                        ? choice->color
                                                             : ::GetSysColor(COLOR_BTNTEXT));
    vx::drawText(item.hDC, text, face, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
    ::SelectObject(item.hDC, previous);
    if (item.itemState & ODS_FOCUS) {
        ::InflateRect(&face, -3, -3);
        ::DrawFocusRect(item.hDC, &face);
    }
}

int PrefsPageGeneral::findInvalid(std::string& why) {
    if (!hotKey) {
        why = "Click the hot-key box and press the key that is to activate Verbinox.";
        return IDC_PREFS_HOTKEY;
    }
    if (!getModifiers()) {
        // A bare key would be taken from every program on the desktop.
        why = "The hot-key " + keyName(hotKey) +
              " needs at least one of Ctrl, Alt, Shift or Win: a key alone would no longer reach any "
              "other program.";
        return IDC_PREFS_HOTKEY;
    }
    return 0;
}

bool PrefsPageGeneral::applyHotKey(std::string& why) {
    const VWindowSettings& settings = window->getSettings();
    const UINT modifiers = getModifiers();
    if (hotKey == settings.hotKey && modifiers == settings.hotKeyModifier) {
        // Unchanged: only a combination that was never had is tried again, and not insisted on.
        if (!window->isHotKeyRegistered())
            window->changeHotKey(hotKey, modifiers);
        return true;
    }
    const std::string previous = describeHotKey(settings.hotKey, settings.hotKeyModifier);
    if (window->changeHotKey(hotKey, modifiers))
        return true;
    why = "Couldn't register global hot-key " + describeHotKey(hotKey, modifiers) +
          ": another program uses it.\nThe previous hot-key, " + previous + ", is kept.";
    return false;
}

void PrefsPageGeneral::apply() {
    VVerbinoxCore* core = VVerbinoxCore::instance();
    const std::string target = core->getAppPath(), folder = core->getAppLocation();
    startup::syncShortcut(startup::startupShortcutPath(), isChecked(IDC_PREFS_STARTWITHWINDOWS), target,
                          folder);
    startup::syncShortcut(startup::quickLaunchShortcutPath(), isChecked(IDC_PREFS_QUICKLAUNCH), target,
                          folder);
    window->setHideOnDeactivate(isChecked(IDC_PREFS_HIDEONDEACTIVATE));
    window->setAutoHide(isChecked(IDC_PREFS_AUTOHIDE));
    window->setAlwaysShowList(isChecked(IDC_PREFS_ALWAYSSHOWLIST));
    int boxFontSize = 0;
    if (readBoxFontSize(::GetDlgItem(hwnd, IDC_PREFS_BOXFONTSIZE), boxFontSize))
        window->setBoxFontSize(boxFontSize);

    // The fonts before the row height is worked out again: it follows them.
    core->setFont(&fonts[0].font);
    core->setFont1(&fonts[1].font);
    core->setFont2(&fonts[2].font);
    core->setTextColor(fonts[0].color);
    core->setTextColor1(fonts[1].color);
    core->setTextColor2(fonts[2].color);

    VElementListCtrl& list = window->getList();
    list.setShowIcons(isChecked(IDC_PREFS_SHOWICONS));
    list.setTwoLines(isChecked(IDC_PREFS_TWOLINES));
    window->setCheckForUpdates(isChecked(IDC_PREFS_UPDATESONSTART));
    core->setOpenUrlsInPluginsBrowser(isChecked(IDC_PREFS_PLUGINSBROWSER));
    core->setOpenUrlsInNewWindow(valueOf(newWindow));
}

INT_PTR PrefsPageGeneral::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        if (HIWORD(wParam) != BN_CLICKED)
            return FALSE;
        switch (LOWORD(wParam)) {
        case IDC_PREFS_PLUGINSBROWSER:
            updateUrlOptions();
            return TRUE;
        case IDC_PREFS_FONTSINGLE:
        case IDC_PREFS_FONTLINE1:
        case IDC_PREFS_FONTLINE2:
            chooseFont(LOWORD(wParam));
            return TRUE;
        }
        return FALSE;
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (!choiceOf(static_cast<int>(item->CtlID)))
            return FALSE;
        drawFontButton(*item);
        return TRUE;
    }
    }
    return FALSE;
}
