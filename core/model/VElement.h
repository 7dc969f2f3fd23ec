#pragma once
// The common base of everything the search window lists: results and actions.
#include "VxApi.h"
#include "util/SystemText.h"

#include <windows.h>

#include <string>

class VPlugin;

// Draws single text lines into a DC with a font and colour, restoring the DC's previous font and text
// colour when it goes: the one routine behind every element's drawing.
class VX_CORE_API VTextLines {
public:
    explicit VTextLines(HDC dc);
    ~VTextLines();
    VTextLines(const VTextLines&) = delete;
    VTextLines& operator=(const VTextLines&) = delete;
    // One line, vertically centred, left aligned, no prefix processing, shortened as fit says when it is
    // too long. Selected lines take the highlight text colour.
    void draw(HFONT font, COLORREF color, bool selected, const std::string& text, const RECT& rect,
              vx::TextFit fit);

private:
    HDC dc_;
    COLORREF oldColor_;
    HGDIOBJ oldFont_ = nullptr;
};

class VX_CORE_API VElement {
public:
    enum ElementType { ActionElement = 0, ResultElement = 1 };

    explicit VElement(VPlugin* plugin) : plugin(plugin) {}
    VElement(const VElement&) = default;
    VElement& operator=(const VElement&) = default;
    // The icon is not destroyed here: subclasses that create their own icon destroy it.
    virtual ~VElement();

    // Frees the object in the module that holds its class's code; the only way to destroy an element.
    virtual void deleteThis();
    virtual HICON getIcon() const { return icon; }
    virtual ElementType getElementType() const = 0;
    virtual std::string getDisplayText() const = 0;
    virtual std::string getDisplayText1() const = 0;
    virtual std::string getDisplayText2() const = 0;
    // Two lines: the upper with the core's font1 and colour1, the lower with font2 and colour2.
    virtual void draw(HDC dc, const RECT& item, const RECT& iconRect, const RECT& line1, const RECT& line2,
                      bool selected, bool showIcon) const;
    // One line with the core's font and colour.
    virtual void draw(HDC dc, const RECT& item, const RECT& iconRect, const RECT& text, bool selected,
                      bool showIcon) const;

    void copyFrom(const VElement& other) { icon = other.icon; }
    VPlugin* getPlugin() const { return plugin; }
    void setIcon(HICON newIcon) { icon = newIcon; }

protected:
    // The text of both lines, or of one line, each shortened as its fit says.
    void drawTwoLines(HDC dc, const RECT& line1, const RECT& line2, bool selected, vx::TextFit upper,
                      vx::TextFit lower) const;
    void drawOneLine(HDC dc, const RECT& text, bool selected, vx::TextFit fit) const;
    void drawIcon(HDC dc, const RECT& iconRect, bool showIcon) const;

private:
    VPlugin* plugin;
    HICON icon = nullptr;
};
