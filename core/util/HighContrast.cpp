#include "util/HighContrast.h"

#include <windows.h>

#include <atomic>

namespace vx {
namespace {
std::atomic<HighContrastHook> hook{nullptr};
}

bool isHighContrast() {
    if (HighContrastHook h = hook.load())
        return h();
    HIGHCONTRASTW contrast{};
    contrast.cbSize = sizeof(contrast);
    return ::SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(contrast), &contrast, 0) &&
           (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

HighContrastHook setHighContrastHook(HighContrastHook newHook) {
    return hook.exchange(newHook);
}

} // namespace vx
