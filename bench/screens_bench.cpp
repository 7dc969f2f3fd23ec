// Pictures of the search window with its results, at 96 and 144 DPI, in the light and the dark theme,
// saved as .bmp files in the folder given as the first argument: what a user sees, for a person to look
// at. The window is made at 96 DPI and then told it moved to a 144-DPI monitor, as Windows tells it.
// Two more at 96 DPI: the list opened above a window near the screen's bottom, and the preferences.
#include "prefs/PrefsSheet.h"
#include "window/SearchWindow.h"
#include "window/Theme.h"
#include "engine/VIndexer.h"
#include "engine/VVerbinoxCore.h"
#include "model/VFileResult.h"
#include "util/SystemText.h"
#include "util/VxText.h"
#include "util/Win32Handle.h"

#include "BenchTools.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

void pumpFor(double ms) {
    const double until = nowMs() + ms;
    MSG msg;
    while (nowMs() < until) {
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::Sleep(5);
    }
}

UINT at96(HWND) {
    return 96;
}
bool dark = false;
bool darkQuery() {
    return dark;
}

// Real files, so the rows show their paths and the icons the shell gives them.
class FileSource : public VIndexer {
public:
    explicit FileSource(std::vector<std::string> paths) : VIndexer(nullptr), paths(std::move(paths)) {}
    ~FileSource() override { stopWorker(); }
    bool reservedFlag() override { return false; }
    void updateCache() override {}

protected:
    void search() override {
        VResultBatch found;
        for (const std::string& path : paths) {
            // A folder's path ends with its separator; its name is the component before it.
            const std::string name = path.substr(0, path.find_last_not_of('\\') + 1);
            if (match(name.substr(name.find_last_of('\\') + 1), false)) {
                VFileResult* file = VFileResult::createInstance(nullptr);
                file->setFile(path);
                found.add(file);
            }
        }
        found.deliver(searchId);
    }

private:
    std::vector<std::string> paths;
};

bool writeText(const std::string& path, const std::string& text) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return std::fclose(f) == 0 && ok;
}

// The screen's pixels in r, as a 24-bit bottom-up .bmp file.
bool saveScreen(const RECT& r, const std::string& path) {
    const int width = r.right - r.left, height = r.bottom - r.top;
    if (width <= 0 || height <= 0)
        return false;
    HDC screen = ::GetDC(nullptr);
    vx::CMemoryDC dc(::CreateCompatibleDC(screen));
    vx::CBitmapHandle bitmap(::CreateCompatibleBitmap(screen, width, height));
    bool ok = dc && bitmap;
    std::vector<BYTE> pixels;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    const int stride = (width * 3 + 3) & ~3;
    if (ok) {
        HGDIOBJ old = ::SelectObject(dc.Get(), bitmap.Get());
        ok = ::BitBlt(dc.Get(), 0, 0, width, height, screen, r.left, r.top, SRCCOPY) != 0;
        ::SelectObject(dc.Get(), old);
        pixels.resize(static_cast<std::size_t>(stride) * static_cast<std::size_t>(height));
        ok = ok && ::GetDIBits(dc.Get(), bitmap.Get(), 0, static_cast<UINT>(height), pixels.data(), &info,
                               DIB_RGB_COLORS) == height;
    }
    ::ReleaseDC(nullptr, screen);
    if (!ok)
        return false;
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42; // "BM"
    file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    ok = std::fwrite(&file, sizeof(file), 1, f) == 1 &&
         std::fwrite(&info.bmiHeader, sizeof(info.bmiHeader), 1, f) == 1 &&
         std::fwrite(pixels.data(), 1, pixels.size(), f) == pixels.size();
    return std::fclose(f) == 0 && ok;
}

RECT unionOf(HWND a, HWND b) {
    RECT ra{}, rb{}, both{};
    ::GetWindowRect(a, &ra);
    if (!b || !::IsWindowVisible(b) || !::GetWindowRect(b, &rb))
        return ra;
    // The list shows only the top of its window through its region.
    RECT box{};
    if (::GetWindowRgnBox(b, &box) != ERROR)
        rb.bottom = rb.top + box.bottom;
    ::UnionRect(&both, &ra, &rb);
    return both;
}

// What a picture shows besides the search window and its rows.
enum class Scene {
    Plain,
    // The window near the bottom of the screen with more rows than fit above it: the list opens above,
    // scrolls, and has its grip at the top.
    NearBottom,
    // The preferences sheet's first page over the window.
    Preferences,
};

bool shoot(const std::string& folder, UINT dpi, bool darkTheme, Scene scene = Scene::Plain) {
    dark = darkTheme;
    vx::setDarkThemeQuery(&darkQuery);
    const std::string settings = folder + "screens.xml";
    RECT work{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int top = scene == Scene::NearBottom ? work.bottom - 60 : 40;
    writeText(settings, "<Verbinox><Verbinox><Window HotKey=\"120\" HotKeyModifier=\"7\" AutoHide=\"false\" "
                        "CheckForUpdates=\"false\" PosX=\"40\" PosY=\"" +
                            std::to_string(top) + "\" /></Verbinox></Verbinox>");
    CVerbinoxDlg dialog;
    dialog.setPreferencesPath(settings);
    if (!dialog.create(nullptr))
        return false;
    dialog.getCommandLine().setDelay(0);
    pumpFor(300);
    std::vector<std::string> paths;
    for (const char* name : {"notebook.pdf", "notes-2026.txt",
                             "Quarterly planning notes for the board, final.docx", "release notes.md"})
        paths.push_back(folder + "Notes\\" + name);
    // An accented name, in the active code page as every narrow path of the program.
    paths.push_back(folder + "Notes\\" +
                    vx::narrowed(L"R\u00E9sum\u00E9 notes \u00E9t\u00E9 Z\u00FCrich.txt"));
    // Only the files written here are deleted afterwards: the program and the folder are listed as found.
    const std::vector<std::string> written = paths;
    for (const std::string& path : written)
        writeText(path, "");
    paths.push_back("C:\\windows\\notepad.exe");
    paths.push_back(folder + "Notes\\");
    if (scene == Scene::NearBottom) {
        // Listed only, never written: their rows show the document icon.
        for (int i = 1; i <= 40; ++i)
            paths.push_back(folder + "Notes\\" + vx::narrowed(L"\u00C9t\u00E9 notes, part ") +
                            std::to_string(i) + ".txt");
    }
    VVerbinoxCore::instance()->registerIndexer(new FileSource(paths));
    if (dpi != 96) {
        RECT r{};
        ::GetWindowRect(dialog.getHwnd(), &r);
        RECT suggested{r.left, r.top, r.left + ::MulDiv(r.right - r.left, static_cast<int>(dpi), 96),
                       r.top + ::MulDiv(r.bottom - r.top, static_cast<int>(dpi), 96)};
        ::SendMessageW(dialog.getHwnd(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                       reinterpret_cast<LPARAM>(&suggested));
    }
    dialog.showWindow();
    vx::setWindowText(dialog.getCommandLine().getHwnd(), "note");
    for (int i = 0; i < 400 && VIndexer::getRunningWorkerCount() > 0; ++i)
        ::Sleep(5);
    pumpFor(1500);
    std::string name = folder + "search-" + std::to_string(dpi) + (darkTheme ? "-dark" : "-light");
    if (scene == Scene::NearBottom)
        name += "-above";
    RECT shown = unionOf(dialog.getHwnd(), dialog.getList().getHwnd());
    if (scene == Scene::Preferences) {
        name = folder + "preferences-" + std::to_string(dpi) + (darkTheme ? "-dark" : "-light");
        PrefsSheet* sheet = dialog.createPreferences();
        pumpFor(500);
        if (sheet)
            ::GetWindowRect(sheet->getHwnd(), &shown);
    }
    name += ".bmp";
    const bool saved = saveScreen(shown, name);
    std::printf("%s %s (%d rows, row height %d)\n", saved ? "saved" : "could not save", name.c_str(),
                dialog.getList().getCount(), dialog.getList().getRowHeight());
    dialog.exit();
    pumpFor(100);
    ::DeleteFileA(settings.c_str());
    for (const std::string& path : written)
        ::DeleteFileA(path.c_str());
    return saved;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: vx_bench_screens <folder>\n");
        return 2;
    }
    std::string folder = argv[1];
    std::replace(folder.begin(), folder.end(), '/', '\\');
    if (folder.back() != '\\' && folder.back() != '/')
        folder += '\\';
    ::CreateDirectoryA(folder.c_str(), nullptr);
    ::CreateDirectoryA((folder + "Notes").c_str(), nullptr);
    vx::setDpiQuery(&at96);
    bool ok = true;
    for (UINT dpi : {96u, 144u})
        for (bool darkTheme : {false, true})
            ok = shoot(folder, dpi, darkTheme) && ok;
    ok = shoot(folder, 96, false, Scene::NearBottom) && ok;
    ok = shoot(folder, 96, false, Scene::Preferences) && ok;
    return ok ? 0 : 1;
}
