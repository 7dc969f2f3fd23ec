#include "model/VElement.h"

#include "engine/VVerbinoxCore.h"
#include "util/SystemText.h"

VElement::~VElement() = default;

void VElement::deleteThis() {
    delete this;
}

void VElement::drawIcon(HDC dc, const RECT& r, bool showIcon) const {
    HICON h = getIcon();
    if (showIcon && h)
        ::DrawIconEx(dc, r.left, r.top, h, r.right - r.left, r.bottom - r.top, 0, nullptr, DI_NORMAL);
}

VTextLines::VTextLines(HDC dc) : dc_(dc), oldColor_(::GetTextColor(dc)) {}

VTextLines::~VTextLines() {
    if (oldFont_)
        ::SelectObject(dc_, oldFont_);
    ::SetTextColor(dc_, oldColor_);
}

void VTextLines::draw(HFONT font, COLORREF color, bool selected, const std::string& text, const RECT& rect,
                      vx::TextFit fit) {
    if (font) {
        HGDIOBJ previous = ::SelectObject(dc_, font);
        if (!oldFont_)
            oldFont_ = previous;
    }
    ::SetTextColor(dc_, VVerbinoxCore::instance()->drawnTextColor(color, selected));
    RECT r = rect;
    vx::drawFittedText(dc_, text, r, DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_NOPREFIX, fit);
}

void VElement::drawTwoLines(HDC dc, const RECT& line1, const RECT& line2, bool selected, vx::TextFit upper,
                            vx::TextFit lower) const {
    VVerbinoxCore* core = VVerbinoxCore::instance();
    VTextLines lines(dc);
    lines.draw(core->getFont1(), core->getTextColor1(), selected, getDisplayText1(), line1, upper);
    lines.draw(core->getFont2(), core->getTextColor2(), selected, getDisplayText2(), line2, lower);
}

void VElement::drawOneLine(HDC dc, const RECT& text, bool selected, vx::TextFit fit) const {
    VVerbinoxCore* core = VVerbinoxCore::instance();
    VTextLines lines(dc);
    lines.draw(core->getFont(), core->getTextColor(), selected, getDisplayText(), text, fit);
}

void VElement::draw(HDC dc, const RECT&, const RECT& iconRect, const RECT& line1, const RECT& line2,
                    bool selected, bool showIcon) const {
    drawIcon(dc, iconRect, showIcon);
    drawTwoLines(dc, line1, line2, selected, vx::TextFit::End, vx::TextFit::End);
}

void VElement::draw(HDC dc, const RECT&, const RECT& iconRect, const RECT& text, bool selected,
                    bool showIcon) const {
    drawIcon(dc, iconRect, showIcon);
    drawOneLine(dc, text, selected, vx::TextFit::End);
}
