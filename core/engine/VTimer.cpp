#include "engine/VTimer.h"

#include <ctime>

namespace {
// clock() counts milliseconds on Windows (CLOCKS_PER_SEC is 1000).
double ticksToSeconds(long ticks) {
    return ticks * 0.001;
}
} // namespace

void VTimer::start(bool) {
    lock();
    startTicks = static_cast<long>(std::clock());
    running = true;
    unlock();
}

double VTimer::elapsed() const {
    lock();
    long now = static_cast<long>(std::clock());
    unlock();
    return ticksToSeconds(now - startTicks);
}

double VTimer::stop() {
    if (!running)
        return 0.0;
    lock();
    long now = static_cast<long>(std::clock());
    unlock();
    lock();
    running = false;
    unlock();
    return ticksToSeconds(now - startTicks);
}

void VTimer::copy(const VTimer& other) {
    if (&other == this)
        return;
    other.lock();
    lock();
    startTicks = other.startTicks;
    running = other.running;
    unlock();
    other.unlock();
}
