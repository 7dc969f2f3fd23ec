#include "engine/VReaderWriterLock.h"
#include "engine/VTimer.h"
#include "support/Watchdog.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <random>
#include <thread>
#include <vector>

TEST(ReaderWriterLock, WriterMayReenterInEitherModeAndFreesTheLockAtTheEnd) {
    VReaderWriterLock lock;
    lock.AcquireWriterLock();
    lock.AcquireReaderLock();
    lock.AcquireWriterLock();
    lock.ReleaseWriterLock();
    lock.ReleaseReaderLock();
    lock.ReleaseWriterLock();
    mustFinishWithin(2000, "a writer after the nested holds were released", [&] {
        lock.AcquireWriterLock();
        lock.ReleaseWriterLock();
    });
}

TEST(ReaderWriterLock, WaitingWriterKeepsNewReadersOut) {
    VReaderWriterLock lock;
    std::atomic<int> stage{0};
    lock.AcquireReaderLock(); // reader 1 (this thread)
    std::thread reader2([&] {
        lock.AcquireReaderLock();
        stage = 1;
        while (stage < 3)
            ::Sleep(1);
        lock.ReleaseReaderLock();
    });
    while (stage < 1)
        ::Sleep(1);
    std::atomic<bool> writerIn{false}, lateReaderIn{false};
    std::thread writer([&] {
        lock.AcquireWriterLock();
        writerIn = true;
        EXPECT_FALSE(lateReaderIn.load()) << "a reader got in while the writer waited";
        ::Sleep(20);
        lock.ReleaseWriterLock();
    });
    ::Sleep(30);
    std::thread lateReader([&] {
        lock.AcquireReaderLock();
        lateReaderIn = true;
        EXPECT_TRUE(writerIn.load());
        lock.ReleaseReaderLock();
    });
    ::Sleep(30);
    EXPECT_FALSE(writerIn.load());
    EXPECT_FALSE(lateReaderIn.load());
    stage = 3;
    lock.ReleaseReaderLock();
    reader2.join();
    writer.join();
    lateReader.join();
    EXPECT_TRUE(lateReaderIn.load());
}

TEST(ReaderWriterLock, SoleReaderUpgradesAtOnceAndDowngradesOnRelease) {
    VReaderWriterLock lock;
    lock.AcquireReaderLock();
    lock.AcquireWriterLock(); // would deadlock if the upgrade waited for itself
    lock.ReleaseWriterLock();
    mustFinishWithin(2000, "another reader after the downgrade", [&] {
        lock.AcquireReaderLock();
        lock.ReleaseReaderLock();
    });
    std::thread writer;
    EXPECT_FALSE(finishesWithin(
        [&] {
            lock.AcquireWriterLock();
            lock.ReleaseWriterLock();
        },
        100, writer))
        << "this thread still reads";
    lock.ReleaseReaderLock();
    writer.join();
}

TEST(ReaderWriterLock, EightThreadsOfRandomNestedUseNeverShareWriting) {
    VReaderWriterLock lock;
    std::atomic<int> writers{0}, readers{0};
    std::atomic<int> violations{0};
    auto checkWrite = [&] {
        if (++writers != 1 || readers.load() != 0)
            ++violations;
        std::this_thread::yield();
        --writers;
    };
    auto checkRead = [&] {
        if (writers.load() != 0)
            ++violations;
    };
    mustFinishWithin(60000, "8 threads of random nested lock use", [&] {
        std::vector<std::thread> threads;
        for (int t = 0; t < 8; ++t) {
            threads.emplace_back([&, t] {
                std::mt19937 rng(t * 7919 + 1);
                for (int i = 0; i < 3000; ++i) {
                    switch (rng() % 4) {
                    case 0: // plain write, nested write, nested read
                        lock.AcquireWriterLock();
                        checkWrite();
                        lock.AcquireWriterLock();
                        checkWrite();
                        lock.AcquireReaderLock();
                        checkWrite();
                        lock.ReleaseReaderLock();
                        lock.ReleaseWriterLock();
                        lock.ReleaseWriterLock();
                        break;
                    case 1: // nested reads
                        lock.AcquireReaderLock();
                        ++readers;
                        checkRead();
                        lock.AcquireReaderLock();
                        checkRead();
                        lock.ReleaseReaderLock();
                        --readers;
                        lock.ReleaseReaderLock();
                        break;
                    case 2: // write, then downgrade to read
                        lock.AcquireWriterLock();
                        checkWrite();
                        lock.AcquireReaderLock();
                        lock.ReleaseWriterLock();
                        ++readers;
                        checkRead();
                        --readers;
                        lock.ReleaseReaderLock();
                        break;
                    default: // write nested in a read of a write
                        lock.AcquireWriterLock();
                        lock.AcquireReaderLock();
                        lock.AcquireWriterLock();
                        checkWrite();
                        lock.ReleaseWriterLock();
                        lock.ReleaseReaderLock();
                        lock.ReleaseWriterLock();
                        break;
                    }
                }
            });
        }
        for (std::thread& t : threads)
            t.join();
    });
    EXPECT_EQ(violations.load(), 0);
    mustFinishWithin(2000, "a writer after the stress", [&] {
        lock.AcquireWriterLock();
        lock.ReleaseWriterLock();
    });
}

TEST(ReaderWriterLock, UpgradeWaitsForOtherReadersOnly) {
    VReaderWriterLock lock;
    std::atomic<bool> release{false};
    std::thread reader([&] {
        lock.AcquireReaderLock();
        while (!release)
            ::Sleep(1);
        lock.ReleaseReaderLock();
    });
    ::Sleep(20);
    lock.AcquireReaderLock();
    std::atomic<bool> upgraded{false};
    std::thread releaser([&] {
        ::Sleep(50);
        EXPECT_FALSE(upgraded.load());
        release = true;
    });
    lock.AcquireWriterLock();
    upgraded = true;
    lock.ReleaseWriterLock();
    lock.ReleaseReaderLock();
    reader.join();
    releaser.join();
}

TEST(Timer, StopWithoutStartIsZeroAndElapsedGrows) {
    VTimer timer;
    EXPECT_EQ(timer.stop(), 0.0);
    timer.start();
    ::Sleep(30);
    EXPECT_GE(timer.elapsed(), 0.02);
    EXPECT_TRUE(timer.isRunning());
    VTimer copy(timer);
    EXPECT_TRUE(copy.isRunning());
    EXPECT_GE(timer.stop(), 0.02);
    EXPECT_FALSE(timer.isRunning());
    EXPECT_EQ(timer.stop(), 0.0);
}
