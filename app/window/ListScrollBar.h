#pragma once
// The results list's scroll bar, drawn with the rows instead of being a control: Wine's scroll-bar
// control takes 5 to 10 ms for each of its paints, several times what the whole buffered list costs.
// It knows no window: the list hands it its client area, its sizes at the window's DPI and its rows.
#include <windows.h>

struct VListColors;

class VListScrollBar {
public:
    // The bar's width, the height of the size grip below it, the thumb's least height, and how far
    // the drawn thumb stands in from its place on each side. A list that opens above the search window
    // grows upwards: its grip sits above the bar, at the corner the user drags.
    struct Sizes {
        int width;
        int grip;
        int leastThumb;
        SIZE thumbInset;
        bool gripOnTop = false;
    };
    // The rows: all of them, as many as the view shows, and the top one.
    struct View {
        int count;
        int visible;
        int top;
    };
    enum Press { Missed, Dragging, Paging };

    bool isShown() const { return shown; }
    void setShown(bool value) { shown = value; }
    bool isDragging() const { return dragging; }

    // The track in client coordinates: along the right edge, beside the size grip.
    static RECT track(const RECT& client, const Sizes& sizes);
    // The size grip's square, at the bottom right (or the top right) of client.
    static RECT grip(const RECT& client, const Sizes& sizes);
    // The thumb on that track: as tall as the share of the rows on show, at least leastThumb, at most
    // the track, and placed for the top row.
    static RECT thumb(const RECT& track, const View& view, int leastThumb);
    // A press of the button at a point of the client area. Missed off the bar or while it is hidden.
    // On the thumb it starts a drag (Dragging); on the track it pages towards the press as a scroll
    // bar's does (Paging, with top set to the top row to scroll to).
    Press press(POINT at, const RECT& client, const Sizes& sizes, const View& view, int& top);
    // The top row for the dragged thumb with the pointer at y; the list keeps it within its rows.
    int dragTo(int y, const RECT& client, const Sizes& sizes, const View& view) const;
    // True when a drag was going on.
    bool endDrag();
    // The track, the thumb (in its dragged colour during a drag) and the size grip.
    void paint(HDC dc, const RECT& client, const Sizes& sizes, const View& view,
               const VListColors& colors) const;

private:
    bool shown = false;
    bool dragging = false;
    int dragFromY = 0;
    int dragFromTop = 0;
};
