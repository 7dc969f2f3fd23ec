#include "util/SystemText.h"

#include "util/VxText.h"

#include <commctrl.h>

#include <climits>
#include <cstring>
#include <cwchar>
#include <vector>

namespace vx {

std::string windowText(HWND window) {
    const int n = ::GetWindowTextLengthW(window);
    if (n <= 0)
        return std::string();
    // Between ANSI and Unicode windows the length may be an upper bound: keep what was copied.
    std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextW(window, &text[0], n + 1)));
    return narrowed(text);
}

bool setWindowText(HWND window, std::string_view text) {
    return ::SetWindowTextW(window, widened(text).c_str()) != FALSE;
}

std::string dlgItemText(HWND dialog, int id) {
    return windowText(::GetDlgItem(dialog, id));
}

bool setDlgItemText(HWND dialog, int id, std::string_view text) {
    return ::SetDlgItemTextW(dialog, id, widened(text).c_str()) != FALSE;
}

int messageBox(HWND owner, std::string_view text, std::string_view caption, UINT type) {
    return ::MessageBoxW(owner, widened(text).c_str(), widened(caption).c_str(), type);
}

int drawText(HDC dc, std::string_view text, RECT& rect, UINT format) {
    std::wstring wide = widened(text);
    return ::DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &rect, format & ~DT_MODIFYSTRING);
}

namespace {

const wchar_t kEllipsis = L'\u2026';
// Characters kept before a name's extension, so names that differ only in their last word stay apart.
const std::size_t kKeptBeforeExtension = 5;
// Without an extension, a name keeps this many characters of its end.
const std::size_t kKeptNameEnd = 8;
// Longer "extensions" are words after a dot, not an extension.
const std::size_t kLongestExtension = 10;

bool isPathSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

// Where text may be cut: not between the halves of a surrogate pair, not before a combining mark.
bool isCut(std::wstring_view text, std::size_t i) {
    if (i == 0 || i >= text.size())
        return true;
    const wchar_t c = text[i];
    if (IS_LOW_SURROGATE(c) && IS_HIGH_SURROGATE(text[i - 1]))
        return false;
    return !((c >= 0x0300 && c <= 0x036F) || (c >= 0x1AB0 && c <= 0x1AFF) || (c >= 0x1DC0 && c <= 0x1DFF) ||
             (c >= 0x20D0 && c <= 0x20FF) || (c >= 0xFE20 && c <= 0xFE2F));
}

// The text's widths from its start: ends[i] is the width of its first i characters.
std::vector<int> prefixWidths(HDC dc, std::wstring_view text) {
    std::vector<int> ends(text.size() + 1, 0);
    if (text.empty())
        return ends;
    std::vector<int> dx(text.size(), 0);
    int fit = 0;
    SIZE size{0, 0};
    if (::GetTextExtentExPointW(dc, text.data(), static_cast<int>(text.size()), INT_MAX, &fit, dx.data(),
                                &size)) {
        for (std::size_t i = 0; i < text.size(); ++i)
            ends[i + 1] = dx[i];
    }
    return ends;
}

int extentOf(HDC dc, const std::wstring& text) {
    SIZE size{0, 0};
    ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    return size.cx;
}

// One cut: the text's start up to headEnd, the ellipsis, the text's end from tailStart.
struct Cut {
    std::size_t headEnd;
    std::size_t tailStart;
};

class Fitter {
public:
    Fitter(HDC dc, std::wstring_view text, int width)
        : dc(dc), text(text), width(width), ends(prefixWidths(dc, text)) {
        const std::wstring ellipsis(1, kEllipsis);
        ellipsisWidth = extentOf(dc, ellipsis);
    }

    bool fitsWhole() const { return ends[text.size()] <= width; }

    // Cuts keeping the end from tailStart on, and as much of the start before it as fits.
    Cut keepingEnd(std::size_t tailStart) const {
        tailStart = cutAtOrBefore(tailStart);
        const int tail = span(tailStart, text.size());
        if (ellipsisWidth + tail > width)
            return onlyEnd();
        return {longestHead(width - ellipsisWidth - tail, tailStart), tailStart};
    }

    // The ellipsis and as much of the end as fits after it.
    Cut onlyEnd() const {
        std::size_t start = text.size();
        while (start > 0) {
            std::size_t before = cutAtOrBefore(start - 1);
            if (ellipsisWidth + span(before, text.size()) > width)
                break;
            start = before;
        }
        return {0, start};
    }

    Cut forName() const {
        const std::size_t n = text.size();
        const std::size_t dot = text.rfind(L'.');
        if (dot != std::wstring_view::npos && dot > 0 && n - dot - 1 >= 1 && n - dot - 1 <= kLongestExtension)
            return keepingEnd(dot > kKeptBeforeExtension ? dot - kKeptBeforeExtension : 0);
        return keepingEnd(n > kKeptNameEnd ? n - kKeptNameEnd : 0);
    }

    Cut forPath() const {
        const std::size_t n = text.size();
        // A folder's trailing separator belongs to its last component.
        std::size_t last = n > 1 ? n - 2 : 0;
        while (last > 0 && !isPathSeparator(text[last]))
            --last;
        if (last == 0)
            return forName();
        const int tail = span(last, n);
        if (ellipsisWidth + tail > width)
            return onlyEnd();
        Cut cut{longestHead(width - ellipsisWidth - tail, last), last};
        // The start keeps whole components where it has any, and the room that frees goes to whole
        // components before the last: "C:\Users\ann\…\Reports\Q3.docx".
        std::size_t separator = cut.headEnd;
        while (separator > 0 && !isPathSeparator(text[separator - 1]))
            --separator;
        if (separator > 0)
            cut.headEnd = separator;
        for (std::size_t before = cut.tailStart; before > cut.headEnd;) {
            --before;
            if (!isPathSeparator(text[before]))
                continue;
            if (span(0, cut.headEnd) + ellipsisWidth + span(before, n) > width)
                break;
            cut.tailStart = before;
        }
        return cut;
    }

    // The cut's text, made shorter until its real extent fits: kerning can make it wider than the sum of
    // its parts.
    std::wstring textOf(Cut cut) const {
        for (;;) {
            std::wstring out(text.substr(0, cut.headEnd));
            out += kEllipsis;
            out.append(text.substr(cut.tailStart));
            if (extentOf(dc, out) <= width)
                return out;
            if (cut.headEnd > 0)
                cut.headEnd = cutAtOrBefore(cut.headEnd - 1);
            else if (cut.tailStart < text.size())
                cut.tailStart = cutAtOrAfter(cut.tailStart + 1);
            else
                return std::wstring();
        }
    }

private:
    int span(std::size_t from, std::size_t to) const { return ends[to] - ends[from]; }
    std::size_t cutAtOrBefore(std::size_t i) const {
        while (i > 0 && !isCut(text, i))
            --i;
        return i;
    }
    std::size_t cutAtOrAfter(std::size_t i) const {
        while (i < text.size() && !isCut(text, i))
            ++i;
        return i;
    }
    // The longest start, ending at a cut no later than limit, no wider than room.
    std::size_t longestHead(int room, std::size_t limit) const {
        std::size_t end = limit;
        while (end > 0 && (span(0, end) > room || !isCut(text, end)))
            --end;
        return end;
    }

    HDC dc;
    std::wstring_view text;
    int width;
    std::vector<int> ends;
    int ellipsisWidth = 0;
};

} // namespace

std::wstring fittedText(HDC dc, std::wstring_view text, int width, TextFit fit) {
    const Fitter fitter(dc, text, width);
    if (fitter.fitsWhole())
        return std::wstring(text);
    switch (fit) {
    case TextFit::Name:
        return fitter.textOf(fitter.forName());
    case TextFit::Path:
        return fitter.textOf(fitter.forPath());
    case TextFit::End:
    default:
        return fitter.textOf(fitter.keepingEnd(text.size()));
    }
}

int drawFittedText(HDC dc, std::string_view text, RECT& rect, UINT format, TextFit fit) {
    const std::wstring fitted = fittedText(dc, widened(text), rect.right - rect.left, fit);
    format &= ~(DT_MODIFYSTRING | DT_END_ELLIPSIS | DT_PATH_ELLIPSIS | DT_WORD_ELLIPSIS);
    return ::DrawTextW(dc, fitted.c_str(), static_cast<int>(fitted.size()), &rect, format);
}

SIZE textExtent(HDC dc, std::string_view text) {
    const std::wstring wide = widened(text);
    SIZE extent{0, 0};
    ::GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &extent);
    return extent;
}

namespace {

// Everything of a font record but its face name.
template <typename To, typename From> void copyMetrics(To& to, const From& from) {
    to.lfHeight = from.lfHeight;
    to.lfWidth = from.lfWidth;
    to.lfEscapement = from.lfEscapement;
    to.lfOrientation = from.lfOrientation;
    to.lfWeight = from.lfWeight;
    to.lfItalic = from.lfItalic;
    to.lfUnderline = from.lfUnderline;
    to.lfStrikeOut = from.lfStrikeOut;
    to.lfCharSet = from.lfCharSet;
    to.lfOutPrecision = from.lfOutPrecision;
    to.lfClipPrecision = from.lfClipPrecision;
    to.lfQuality = from.lfQuality;
    to.lfPitchAndFamily = from.lfPitchAndFamily;
}

} // namespace

void setFaceName(LOGFONTA& font, std::string_view name) {
    const std::size_t limit = sizeof(font.lfFaceName) - 1;
    const bool utf8 = ::GetACP() == CP_UTF8;
    std::size_t n = 0;
    while (n < name.size()) {
        std::size_t step = (isLeadByte(name[n]) && n + 1 < name.size()) ? 2 : 1;
        if (utf8) {
            while (n + step < name.size() && (static_cast<unsigned char>(name[n + step]) & 0xC0) == 0x80)
                ++step;
        }
        if (n + step > limit)
            break;
        n += step;
    }
    std::memcpy(font.lfFaceName, name.data(), n);
    font.lfFaceName[n] = '\0';
}

LOGFONTW wideFont(const LOGFONTA& font) {
    LOGFONTW wide{};
    copyMetrics(wide, font);
    const std::wstring face =
        widened(std::string_view(font.lfFaceName, strnlen(font.lfFaceName, LF_FACESIZE)));
    const std::size_t n = face.size() < LF_FACESIZE - 1 ? face.size() : LF_FACESIZE - 1;
    std::wmemcpy(wide.lfFaceName, face.data(), n);
    wide.lfFaceName[n] = L'\0';
    return wide;
}

LOGFONTA narrowFont(const LOGFONTW& font) {
    LOGFONTA narrow{};
    copyMetrics(narrow, font);
    setFaceName(narrow, narrowed(std::wstring_view(font.lfFaceName, wcsnlen(font.lfFaceName, LF_FACESIZE))));
    return narrow;
}

HFONT createFont(const LOGFONTA& font) {
    const LOGFONTW wide = wideFont(font);
    return ::CreateFontIndirectW(&wide);
}

LOGFONTA fontForDpi(LOGFONTA font, UINT from, UINT to) {
    if (from && to && from != to) {
        font.lfHeight = ::MulDiv(font.lfHeight, static_cast<int>(to), static_cast<int>(from));
        font.lfWidth = ::MulDiv(font.lfWidth, static_cast<int>(to), static_cast<int>(from));
    }
    return font;
}

bool fontRecord(HFONT font, LOGFONTA& record) {
    LOGFONTW wide{};
    if (!font || ::GetObjectW(font, sizeof(wide), &wide) != sizeof(wide))
        return false;
    record = narrowFont(wide);
    return true;
}

} // namespace vx
