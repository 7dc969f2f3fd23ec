#include "DiskdexPrefsDlg.h"

#include "DiskdexIndexer.h"
#include "util/ThisModule.h"
#include "DiskdexPlugin.h"
#include "resource.h"
#include "util/VisualStyleScope.h"
#include "util/VxText.h"

#include <commctrl.h>

#include <algorithm>

namespace {

const DWORD kControlClasses = ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES;

// The settings file keeps a filter list as one ";"-separated text, so a pattern typed with ";" would come
// back as several patterns after a restart, and until then match nothing: it becomes several at once.
std::vector<std::string> splitPatterns(const std::string& text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = std::min(text.find(';', start), text.size());
        std::string piece = vx::trimmed(std::string_view(text).substr(start, end - start));
        if (!piece.empty())
            out.push_back(piece);
        start = end + 1;
    }
    return out;
}

bool isChecked(HWND dialog, int control) {
    return ::IsDlgButtonChecked(dialog, control) == BST_CHECKED;
}

} // namespace

DiskdexPrefsDlg::DiskdexPrefsDlg(VDiskdexPlugin* plugin)
    : CModuleDialog(IDD_DISKDEX_PREFS, kControlClasses), plugin(plugin) {}

bool DiskdexPrefsDlg::canOpen() const {
    return plugin != nullptr;
}

INT_PTR DiskdexPrefsDlg::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND: {
        HWND control = reinterpret_cast<HWND>(lParam);
        if (control && ::GetParent(control) != hwnd) {
            // Enter on a focused button inside a list box: the dialog manager sends the click here.
            ::SendMessageA(::GetParent(control), WM_COMMAND, wParam, lParam);
            return TRUE;
        }
        switch (LOWORD(wParam)) {
        case IDOK:
        case IDCANCEL:
            end(IDOK);
            return TRUE;
        case IDC_RECURSE:
        case IDC_MATCH_DIRECTORIES:
            if (HIWORD(wParam) == BN_CLICKED)
                onSwitch(LOWORD(wParam));
            return TRUE;
        }
        return FALSE;
    }
    case WM_CLOSE:
        end(IDOK);
        return TRUE;
    case WM_DESTROY:
        onDestroy();
        return TRUE;
    }
    if (message >= VEditListBox::RowAdded && message <= VEditListBox::SelectionChanged) {
        if (refreshing)
            return TRUE; // our own filling of the lists
        const int row = static_cast<int>(wParam);
        switch (static_cast<int>(lParam)) {
        case IDC_FOLDER_LIST:
            onFolderChange(message, row);
            break;
        case IDC_INCLUDE_LIST:
            onFilterChange(includes, message, row);
            break;
        case IDC_EXCLUDE_LIST:
            onFilterChange(excludes, message, row);
            break;
        }
        return TRUE;
    }
    return FALSE;
}

BOOL DiskdexPrefsDlg::onInit() {
    folders.createAt(hwnd, IDC_FOLDER_LIST,
                     VEditListBox::NewButton | VEditListBox::DeleteButton | VEditListBox::BrowseButton);
    includes.createAt(hwnd, IDC_INCLUDE_LIST, VEditListBox::NewButton | VEditListBox::DeleteButton);
    excludes.createAt(hwnd, IDC_EXCLUDE_LIST, VEditListBox::NewButton | VEditListBox::DeleteButton);
    std::vector<std::string> paths;
    const std::vector<VDiskdexIndexer*>& indexers = plugin->getIndexers();
    for (VDiskdexIndexer* indexer : indexers)
        paths.push_back(indexer->getPath());
    folders.setItems(paths);
    for (std::size_t i = 0; i < indexers.size(); ++i)
        folders.setData(static_cast<int>(i), reinterpret_cast<LPARAM>(indexers[i]));
    ::EnableWindow(::GetDlgItem(hwnd, IDC_PRESETS), FALSE);
    refresh();
    // The folder list, rather than the first of its buttons, has the focus at first.
    ::SetFocus(folders.getListView());
    return FALSE;
}

void DiskdexPrefsDlg::onDestroy() {
    // Path and filter changes reach the caches only now, through each indexer's builder: the dialog
    // never waits for a walk. A copy: the list must not change under the loop.
    std::vector<VDiskdexIndexer*> indexers = plugin->getIndexers();
    for (VDiskdexIndexer* indexer : indexers)
        indexer->updateCache();
}

void DiskdexPrefsDlg::refresh() {
    refreshing = true;
    VDiskdexIndexer* indexer = getSelectedIndexer();
    const bool selected = indexer != nullptr;
    includes.setItems(selected ? indexer->getIncludeFilters() : std::vector<std::string>());
    excludes.setItems(selected ? indexer->getExcludeFilters() : std::vector<std::string>());
    // Without a folder both boxes are cleared: neither may show a switch of a folder no longer selected.
    ::CheckDlgButton(hwnd, IDC_RECURSE, selected && indexer->getRecurse() ? BST_CHECKED : BST_UNCHECKED);
    ::CheckDlgButton(hwnd, IDC_MATCH_DIRECTORIES,
                     selected && indexer->getMatchDirectories() ? BST_CHECKED : BST_UNCHECKED);
    ::EnableWindow(includes.getHwnd(), selected);
    ::EnableWindow(excludes.getHwnd(), selected);
    ::EnableWindow(::GetDlgItem(hwnd, IDC_RECURSE), selected);
    ::EnableWindow(::GetDlgItem(hwnd, IDC_MATCH_DIRECTORIES), selected);
    refreshing = false;
}

VDiskdexIndexer* DiskdexPrefsDlg::indexerOfRow(int row) const {
    const LPARAM data = folders.getData(row);
    if (!data)
        return nullptr;
    for (VDiskdexIndexer* indexer : plugin->getIndexers()) {
        if (reinterpret_cast<LPARAM>(indexer) == data)
            return indexer;
    }
    return nullptr;
}

VDiskdexIndexer* DiskdexPrefsDlg::getSelectedIndexer() const {
    return indexerOfRow(folders.getSelection());
}

void DiskdexPrefsDlg::onFolderChange(UINT message, int row) {
    switch (message) {
    case VEditListBox::RowAdded: {
        auto* indexer = new VDiskdexIndexer(plugin);
        indexer->setPath(folders.getText(row));
        indexer->setRecurse(isChecked(hwnd, IDC_RECURSE));
        indexer->setMatchDirectories(isChecked(hwnd, IDC_MATCH_DIRECTORIES));
        folders.setData(row, reinterpret_cast<LPARAM>(indexer));
        plugin->addIndexer(indexer);
        refresh();
        break;
    }
    case VEditListBox::RowRemoving:
        if (VDiskdexIndexer* indexer = indexerOfRow(row)) {
            // The row forgets the indexer before it is destroyed, and its search ends before the core,
            // holding its registry lock, destroys it.
            folders.setData(row, 0);
            indexer->stopWorker();
            plugin->removeIndexer(indexer);
        }
        break;
    case VEditListBox::RowRenamed:
        if (VDiskdexIndexer* indexer = indexerOfRow(row)) {
            indexer->stopWorker();
            indexer->setPath(folders.getText(row));
        }
        break;
    case VEditListBox::RowRemoved:
    case VEditListBox::SelectionChanged:
        refresh();
        break;
    }
}

void DiskdexPrefsDlg::onFilterChange(VEditListBox& box, UINT message, int row) {
    VDiskdexIndexer* indexer = getSelectedIndexer();
    if (!indexer || (message != VEditListBox::RowAdded && message != VEditListBox::RowRenamed &&
                     message != VEditListBox::RowRemoving))
        return;
    const bool include = &box == &includes;
    auto add = [&](const std::string& p) {
        include ? indexer->addIncludeFilter(p) : indexer->addExcludeFilter(p);
    };
    auto remove = [&](const std::string& p) {
        include ? indexer->removeIncludeFilter(p) : indexer->removeExcludeFilter(p);
    };
    auto replace = [&](const std::string& from, const std::string& to) {
        include ? indexer->replaceIncludeFilter(from, to) : indexer->replaceExcludeFilter(from, to);
    };
    indexer->stopWorker();
    const std::string text = box.getText(row);
    if (message == VEditListBox::RowRemoving) {
        remove(text);
        return;
    }
    const std::vector<std::string> patterns = splitPatterns(text);
    if (message == VEditListBox::RowAdded) {
        for (const std::string& p : patterns)
            add(p);
    } else if (patterns.empty()) {
        remove(box.getOldText());
    } else {
        replace(box.getOldText(), patterns[0]);
        for (std::size_t i = 1; i < patterns.size(); ++i)
            add(patterns[i]);
    }
    if (patterns.size() != 1 || patterns[0] != text) {
        // One row per pattern, as the lists will read when the settings are loaded again.
        refreshing = true;
        box.setItems(include ? indexer->getIncludeFilters() : indexer->getExcludeFilters());
        refreshing = false;
    }
}

void DiskdexPrefsDlg::onSwitch(int control) {
    VDiskdexIndexer* indexer = getSelectedIndexer();
    if (!indexer)
        return;
    indexer->stopWorker();
    if (control == IDC_RECURSE)
        indexer->setRecurse(isChecked(hwnd, IDC_RECURSE));
    else
        indexer->setMatchDirectories(isChecked(hwnd, IDC_MATCH_DIRECTORIES));
}
