#pragma once
// What both indexers share (util/ThisModule.h names the module that holds the plug-in's code).
#include <windows.h>

namespace explorer {

// The icon of every result, loaded once and shared. Results outlive an indexer that is switched off
// while they are listed, so it belongs to no indexer and is never destroyed by one.
HICON resultIcon();

} // namespace explorer
