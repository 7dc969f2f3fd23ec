#include "model/VElement.h"

#include "engine/VVerbinoxCore.h"

VElement::~VElement() = default;

void VElement::deleteThis() {
    delete this;
}

void VElement::drawIcon(HDC dc, const RECT& r, bool showIcon) const {
    HICON h = getIcon();
    if (showIcon && h)
        ::DrawIconEx(dc, r.left, r.top, h, r.right - r.left, r.bottom - r.top, 0, nullptr, DI_NORMAL);
}

void VElement::drawLine(HDC dc, const std::string& text, const RECT& rect, UINT extraFormat) {
    RECT r = rect;
    UINT format = DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_NOPREFIX | extraFormat;
    if (!(extraFormat & DT_PATH_ELLIPSIS))
        format |= DT_END_ELLIPSIS;
    // DrawTextA with an ellipsis flag may write into the text only with DT_MODIFYSTRING; we never ask.
    ::DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &r, format);
}

namespace {

// Selects a font and text colour into a DC for as long as it lives.
class DcTextState {
public:
    explicit DcTextState(HDC dc) : dc_(dc), oldColor_(::GetTextColor(dc)) {}
    ~DcTextState() {
        if (oldFont_)
            ::SelectObject(dc_, oldFont_);
        ::SetTextColor(dc_, oldColor_);
    }
    void use(HFONT font, COLORREF color, bool selected) {
        if (font) {
            HGDIOBJ previous = ::SelectObject(dc_, font);
            if (!oldFont_)
                oldFont_ = previous;
        }
        ::SetTextColor(dc_, selected ? ::GetSysColor(COLOR_HIGHLIGHTTEXT) : color);
    }

private:
    HDC dc_;
    COLORREF oldColor_;
    HGDIOBJ oldFont_ = nullptr;
};

} // namespace

void VElement::draw(HDC dc, const RECT&, const RECT& iconRect, const RECT& line1, const RECT& line2,
                    bool selected, bool showIcon) const {
    drawIcon(dc, iconRect, showIcon);
    VVerbinoxCore* core = VVerbinoxCore::instance();
    DcTextState state(dc);
    state.use(core->getFont1(), core->getTextColor1(), selected);
    drawLine(dc, getDisplayText1(), line1);
    state.use(core->getFont2(), core->getTextColor2(), selected);
    drawLine(dc, getDisplayText2(), line2);
}

void VElement::draw(HDC dc, const RECT&, const RECT& iconRect, const RECT& text, bool selected,
                    bool showIcon) const {
    drawIcon(dc, iconRect, showIcon);
    VVerbinoxCore* core = VVerbinoxCore::instance();
    DcTextState state(dc);
    state.use(core->getFont(), core->getTextColor(), selected);
    drawLine(dc, getDisplayText(), text);
}
