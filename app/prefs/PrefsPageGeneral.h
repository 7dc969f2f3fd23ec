#pragma once
// "General": the desktop shortcuts, the window and list options, the URL options, the search box's text
// size, the global hot-key (captured from a key press in its box) and the three fonts the results are
// drawn with.
#include "PrefsSheet.h"
#include "util/Win32Handle.h"

class PrefsPageGeneral : public PrefsPage {
public:
    explicit PrefsPageGeneral(CVerbinoxDlg* window);

    int findInvalid(std::string& why) override;
    // Hands the chosen hot-key to the search window; false (and why) when it could not be registered.
    bool applyHotKey(std::string& why);
    void apply() override;

    UINT getHotKey() const { return hotKey; }
    // The modifier flags the four boxes make: Alt 1, Ctrl 2, Shift 4, Win 8.
    UINT getModifiers() const;

    // The font dialog: true with the choice in font and colour. Tests choose instead.
    using FontChooser = bool (*)(HWND owner, LOGFONTA& font, COLORREF& color);
    static FontChooser setFontChooser(FontChooser chooser);
    // What a press of a font button would do: choose, then show the choice on the button.
    void chooseFont(int buttonId);

private:
    // One of the three lines the results are drawn with, as chosen on this page.
    struct FontChoice {
        int buttonId;
        LOGFONTA font;
        COLORREF color;
        vx::CFontHandle shown;
    };

    void onInitPage() override;
    INT_PTR handle(UINT message, WPARAM wParam, LPARAM lParam) override;
    void updateUrlOptions();
    void drawFontButton(const DRAWITEMSTRUCT& item);
    FontChoice* choiceOf(int buttonId);
    static LRESULT CALLBACK hotKeyProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                       DWORD_PTR self);

    UINT hotKey = 0;
    FontChoice fonts[3];
    // "Open URL's in new window": no choice while URLs open in their plug-in's browser.
    DependentOption newWindow;
};
