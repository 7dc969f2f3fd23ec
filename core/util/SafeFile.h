#pragma once
// Whole-file writes that never leave a half-written file behind.
#include "VxApi.h"

#include <string>

namespace vx {

// Writes bytes (as they are, no line-end translation) to a temporary file beside path, flushes it to the
// disk, then puts it in place of path in one step. On any failure the file at path keeps its previous
// contents, the temporary is removed, and the result is false.
VX_CORE_API bool writeFileReplacing(const std::string& path, const std::string& bytes);

} // namespace vx
