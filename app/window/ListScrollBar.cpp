// The results list's own scroll bar: where its track and thumb lie, what a press and a drag on it do,
// and its drawing with the size grip.
#include "ListScrollBar.h"

#include "ListWindow.h"
#include "Theme.h"

#include <algorithm>

namespace {

// Diagonal ridges towards the corner that is dragged: the bottom right, or the top right.
void paintGrip(HDC dc, const RECT& grip, bool onTop) {
    static const int colors[3] = {COLOR_WINDOW, COLOR_BTNFACE, COLOR_BTNSHADOW};
    const int size = grip.right - grip.left;
    HGDIOBJ oldPen = ::SelectObject(dc, ::GetStockObject(DC_PEN));
    for (int i = 0; i < 20; ++i) {
        const int offset = i * size / 20;
        ::SetDCPenColor(dc, vx::themeColor(colors[i % 3]));
        ::MoveToEx(dc, grip.left + offset, onTop ? grip.top : grip.bottom, nullptr);
        ::LineTo(dc, grip.right, onTop ? grip.bottom - offset : grip.top + offset);
    }
    ::SelectObject(dc, oldPen);
}

} // namespace

RECT VListScrollBar::track(const RECT& client, const Sizes& sizes) {
    if (sizes.gripOnTop)
        return RECT{client.right - sizes.width, std::min<LONG>(client.top + sizes.grip, client.bottom),
                    client.right, client.bottom};
    return RECT{client.right - sizes.width, client.top, client.right,
                std::max<LONG>(client.bottom - sizes.grip, client.top)};
}

RECT VListScrollBar::grip(const RECT& client, const Sizes& sizes) {
    if (sizes.gripOnTop)
        return RECT{client.right - sizes.width, client.top, client.right, client.top + sizes.grip};
    return RECT{client.right - sizes.width, client.bottom - sizes.grip, client.right, client.bottom};
}

RECT VListScrollBar::thumb(const RECT& track, const View& view, int leastThumb) {
    const int length = track.bottom - track.top;
    const int rows = std::max(view.visible, 1);
    const int height = std::min(length, std::max(length * rows / std::max(view.count, 1), leastThumb));
    const int range = std::max(view.count - rows, 1);
    const int offset = (length - height) * std::clamp(view.top, 0, range) / range;
    return RECT{track.left, track.top + offset, track.right, track.top + offset + height};
}

VListScrollBar::Press VListScrollBar::press(POINT at, const RECT& client, const Sizes& sizes,
                                            const View& view, int& top) {
    if (!shown)
        return Missed;
    const RECT bar = track(client, sizes);
    if (!::PtInRect(&bar, at))
        return Missed;
    const RECT knob = thumb(bar, view, sizes.leastThumb);
    if (at.y >= knob.top && at.y < knob.bottom) {
        dragFromY = at.y;
        dragFromTop = view.top;
        dragging = true;
        return Dragging;
    }
    const int page = std::max(view.visible, 1);
    top = at.y < knob.top ? view.top - page : view.top + page;
    return Paging;
}

int VListScrollBar::dragTo(int y, const RECT& client, const Sizes& sizes, const View& view) const {
    const RECT bar = track(client, sizes);
    const RECT knob = thumb(bar, View{view.count, view.visible, dragFromTop}, sizes.leastThumb);
    const int travel = std::max<int>((bar.bottom - bar.top) - (knob.bottom - knob.top), 1);
    const int range = std::max(view.count - std::max(view.visible, 1), 0);
    return dragFromTop + ::MulDiv(y - dragFromY, range, travel);
}

bool VListScrollBar::endDrag() {
    const bool was = dragging;
    dragging = false;
    return was;
}

void VListScrollBar::paint(HDC dc, const RECT& client, const Sizes& sizes, const View& view,
                           const VListColors& colors) const {
    const RECT bar = track(client, sizes);
    ::SetDCBrushColor(dc, colors.track);
    ::FillRect(dc, &bar, static_cast<HBRUSH>(::GetStockObject(DC_BRUSH)));
    RECT knob = thumb(bar, view, sizes.leastThumb);
    ::InflateRect(&knob, -sizes.thumbInset.cx, -sizes.thumbInset.cy);
    ::SetDCBrushColor(dc, dragging ? colors.thumbDragged : colors.thumb);
    ::FillRect(dc, &knob, static_cast<HBRUSH>(::GetStockObject(DC_BRUSH)));
    paintGrip(dc, grip(client, sizes), sizes.gripOnTop);
}
