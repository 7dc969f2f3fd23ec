#include "PrefsPagePlugins.h"

#include "engine/VPlugin.h"
#include "engine/VPluginManager.h"
#include "engine/VVerbinoxCore.h"
#include "res/prefs_resource.h"
#include "util/ReportList.h"
#include "util/SystemText.h"
#include "util/VxText.h"

namespace {

VPluginManager* plugins() {
    return VVerbinoxCore::instance()->getPluginManager();
}

} // namespace

PrefsPagePlugins::PrefsPagePlugins(CVerbinoxDlg* window, PrefsSheet* sheet)
    : PrefsPage(window, IDD_PREFS_PLUGINS, "Plugins"), sheet(sheet) {}

void PrefsPagePlugins::onInitPage() {
    HWND list = ::GetDlgItem(hwnd, IDC_PREFS_PLUGINLIST);
    setUpReportList(list, {{"Name", 110}, {"Description", 150}, {"Author", 74}});
    images.Reset(::ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 0, 8));
    ::SendMessageA(list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images.Get()));
    VPluginManager* manager = plugins();
    const int count = manager ? manager->getNumPlugins() : 0;
    for (int i = 0; i < count; ++i) {
        VPlugin* plugin = manager->getPlugin(i);
        vx::insertListItem(list, i, plugin->getName(), vx::addListIcon(images.Get(), plugin->getIcon()), i);
        vx::setListItemText(list, i, 1, plugin->getDescription());
        vx::setListItemText(list, i, 2, plugin->getAuthor());
    }
    ::EnableWindow(::GetDlgItem(hwnd, IDC_PREFS_CONFIGURE), FALSE);
}

int PrefsPagePlugins::getRowCount() const {
    return static_cast<int>(::SendDlgItemMessageA(hwnd, IDC_PREFS_PLUGINLIST, LVM_GETITEMCOUNT, 0, 0));
}

int PrefsPagePlugins::findRow(const std::string& name) const {
    VPluginManager* manager = plugins();
    for (int i = 0; manager && i < manager->getNumPlugins() && i < getRowCount(); ++i) {
        if (manager->getPlugin(i)->getName() == name)
            return i;
    }
    return -1;
}

void PrefsPagePlugins::selectRow(int row) {
    vx::selectListRow(::GetDlgItem(hwnd, IDC_PREFS_PLUGINLIST), row);
}

VPlugin* PrefsPagePlugins::selectedPlugin() const {
    const int row = vx::selectedListRow(::GetDlgItem(hwnd, IDC_PREFS_PLUGINLIST));
    VPluginManager* manager = plugins();
    if (row < 0 || !manager || row >= manager->getNumPlugins())
        return nullptr;
    return manager->getPlugin(row);
}

void PrefsPagePlugins::configure() {
    VPlugin* plugin = selectedPlugin();
    if (!plugin || !plugin->hasEditablePrefs())
        return;
    // Nothing a plug-in throws may unwind through the dialog manager's frames.
    try {
        plugin->editPrefs(hwnd);
    } catch (...) {
    }
    sheet->onPluginPrefsEdited();
}

INT_PTR PrefsPagePlugins::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_PREFS_CONFIGURE && HIWORD(wParam) == BN_CLICKED) {
            configure();
            return TRUE;
        }
        return FALSE;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->idFrom != IDC_PREFS_PLUGINLIST)
            return FALSE;
        if (header->code == LVN_ITEMCHANGED) {
            const VPlugin* plugin = selectedPlugin();
            ::EnableWindow(::GetDlgItem(hwnd, IDC_PREFS_CONFIGURE), plugin && plugin->hasEditablePrefs());
        } else if (header->code == NM_DBLCLK) {
            configure();
        }
        return TRUE;
    }
    }
    return FALSE;
}
