#include "util/HighContrast.h"

#include <windows.h>

#include <atomic>

namespace vx {
namespace {
std::atomic<HighContrastHook> hook{nullptr};
// -1 until read.
std::atomic<int> systemAnswer{-1};

bool askSystem() {
    HIGHCONTRASTW contrast{};
    contrast.cbSize = sizeof(contrast);
    return ::SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(contrast), &contrast, 0) &&
           (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
}
} // namespace

bool isHighContrast() {
    if (HighContrastHook h = hook.load())
        return h();
    int answer = systemAnswer.load();
    if (answer < 0) {
        answer = askSystem() ? 1 : 0;
        systemAnswer.store(answer);
    }
    return answer != 0;
}

void refreshHighContrast() {
    systemAnswer.store(askSystem() ? 1 : 0);
}

HighContrastHook setHighContrastHook(HighContrastHook newHook) {
    return hook.exchange(newHook);
}

} // namespace vx
