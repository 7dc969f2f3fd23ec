#pragma once
// The search edit box: turns typing into one settled-text message after the re-search delay, routes
// navigation and command keys to the results list and to the search window, and lets the program set
// its text without starting a search. It subclasses an edit control of the search window's dialog.
#include <windows.h>

#include <string>

class VPreferencesNode;

// What the edit box asks of the search window.
class VCommandLineOwner {
public:
    virtual bool isSearchingMode() const = 0;
    virtual bool isActionMode() const = 0;
    virtual bool isBrowseMode() const = 0;
    // Cancels the search and empties the list (and the text, with clear).
    virtual void resetSearch(bool clear) = 0;
    // The user changed the text: what the list shows was found for another text. Comes at every
    // change, before the settled-text message that may follow.
    virtual void textEdited() = 0;

protected:
    ~VCommandLineOwner() = default;
};

// What the edit box asks of the results list.
class VEditBoxResultsList {
public:
    // True when the list took the key (it moves its selection, opens a pop-up, ...). VK_APPS stands for
    // the context-menu key and Shift+F10 alike.
    virtual bool onListKey(UINT virtualKey) = 0;
    // A turn of the mouse wheel (WHEEL_DELTA a notch, positive away from the user); true when the list
    // scrolled for it.
    virtual bool onListWheel(int delta) = 0;
    // The list's own node ("List") below the edit box's "CommandLine" node.
    virtual void loadListPrefs(const VPreferencesNode* commandLine) = 0;
    virtual void saveListPrefs(VPreferencesNode* commandLine) const = 0;

protected:
    ~VEditBoxResultsList() = default;
};

class VCommandLine {
public:
    VCommandLine() = default;
    ~VCommandLine();
    VCommandLine(const VCommandLine&) = delete;
    VCommandLine& operator=(const VCommandLine&) = delete;

    // Takes over the edit control; its parent receives the UM_ messages. False if already attached.
    bool attach(HWND edit, VCommandLineOwner* owner, VEditBoxResultsList* list);
    HWND getHwnd() const { return edit; }

    std::string getText() const;
    // Sets the text without a settled-text message.
    void setTextProgrammatically(const std::string& text);
    // The dialog calls this for the control's EN_CHANGE.
    void onTextChanged();
    void stopTypingTimer();
    // True between a change of the text and its settled-text message: the list's results were found
    // for an older text.
    bool isSettling() const { return settling; }
    // The grey hint an empty box shows ("Type to search"), also while it has the focus. Where the edit
    // control cannot show one itself (common controls before version 6) the box draws it and answers
    // EM_GETCUEBANNER.
    void setCueBanner(const std::string& text);
    int getDelay() const { return delay; }
    void setDelay(int milliseconds) { delay = milliseconds < 0 ? 0 : milliseconds; }

    // "CommandLine" below the "Window" node: "Delay", then the list's own node.
    void loadPrefs(const VPreferencesNode* window);
    void savePrefs(VPreferencesNode* window) const;

    // The key handler; true when the key was taken (the edit control then never sees it).
    bool handleKey(UINT virtualKey);

private:
    static LRESULT CALLBACK proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                 DWORD_PTR self);
    void notify(UINT message);
    static bool isDown(int virtualKey);
    // The keyboard's context menu: true when the list opened (or holds open) the selected row's pop-up.
    bool contextMenu();
    // After the control painted itself: the hint over an empty box.
    void paintCueBanner();

    HWND edit = nullptr;
    VCommandLineOwner* owner = nullptr;
    VEditBoxResultsList* list = nullptr;
    bool programmatic = false;
    bool settling = false;
    // Set when a key was taken, so the character message it produces is swallowed too.
    bool swallowChar = false;
    int delay = 500;
    std::wstring cue;
    // The control shows the hint itself.
    bool nativeCue = false;
};
