#pragma once
// What both indexers share (util/ThisModule.h names the module that holds the plug-in's code).
#include <windows.h>

#include <string>
#include <vector>

class VIndexer;
class VPlugin;
class VResult;
class VResultBatch;
class VUrlResult;

namespace explorer {

// The icon of every result, loaded once and shared. Results outlive an indexer that is switched off
// while they are listed, so it belongs to no indexer and is never destroyed by one.
HICON resultIcon();

// A new result of the plug-in with the address, the title and the shared icon.
VUrlResult* newResult(VPlugin* plugin, const std::string& url, const std::string& title);
// Appends a result that the list then owns; when the list cannot grow, the result is destroyed.
void appendOwned(std::vector<VResult*>& list, VUrlResult* result);
// Copies into found every result of the list whose address (as a URL) or title (as text) the indexer's
// search matches, in order, until the search is cancelled.
void copyMatching(const VIndexer& indexer, const std::vector<VResult*>& list, VResultBatch& found);

} // namespace explorer
