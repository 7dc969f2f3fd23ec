#pragma once
// A stopwatch on the C runtime's clock, taken as 1000 ticks per second.
#include "VxApi.h"

class VX_CORE_API VTimer {
public:
    VTimer() { init(); }
    VTimer(const VTimer& other) { copy(other); }
    VTimer& operator=(const VTimer& other) {
        copy(other);
        return *this;
    }
    virtual ~VTimer() = default;

    // A timer shared between threads overrides these two; the base needs no lock.
    virtual void lock() const {}
    virtual void unlock() const {}

    void start(bool reset = true);
    bool isRunning() const { return running; }
    double elapsed() const;
    double stop();
    double resolution() const { return 0.001; }
    double resolutionMilliSecs() const { return 1.0; }
    double resolutionMicroSecs() const { return 1000.0; }

protected:
    void init() {
        startTicks = 0;
        running = false;
    }
    void copy(const VTimer& other);

private:
    long startTicks = 0;
    bool running = false;
};
