// Stream threads refilling halves of a buffer on notification events while
// an output thread mixes, as the engine's streamed sounds do.
#include "host/sound/tests/SoundTestSupport.h"

#include "host/kernel/Kernel.h"

#include <atomic>
#include <thread>

namespace host::sound::testing {
namespace ORV_TEST_FILE_ID {

namespace {

using host::kernel::Event;

constexpr uint32_t kHalfFrames = 256;
constexpr uint32_t kHalfBytes = kHalfFrames * 2;   // 16-bit mono

// Fills half 0 and plays, then refills the half the cursor left (start event:
// half 1, middle event: half 0), each fill one value counting up from 1.
// Ends on the stop event.
struct Streamer {
    Buffer& buffer;
    Event* events[3];   // start, middle, stop
    Event* filled = nullptr;
    std::atomic<int> fills{0};
    int16_t next = 1;

    bool Fill(uint32_t half) {
        LockedRegions r;
        if (buffer.Lock(half * kHalfBytes, kHalfBytes, r) != Result::Ok) return false;
        auto* p = static_cast<int16_t*>(r.first);
        std::fill(p, p + kHalfFrames, next++);
        ++fills;
        return buffer.Unlock(r) == Result::Ok;
    }
    uint32_t Run() {
        if (!Fill(0) || buffer.Play(kPlayLooping) != Result::Ok) return 1;
        if (filled) filled->Set();
        for (;;) {
            const uint32_t which = host::kernel::WaitAny(events, 3, 10000);
            if (which == 2) return 0;
            if (which > 2 || !Fill(which == 0 ? 1 : 0)) return 1;
            if (filled) filled->Set();
        }
    }
};

// Mixes freely on its own thread, as the SDL output does.
struct MixerThread {
    explicit MixerThread(NullOutput& null) : thread([this, &null] {
        std::vector<int16_t> out(128);
        while (running) null.MixFrames(64, out.data());
    }) {}
    ~MixerThread() {
        running = false;
        thread.join();
    }
    std::atomic<bool> running{true};
    std::thread thread;
};

class Streaming : public SoundTest {
protected:
    std::unique_ptr<Buffer> MakeStream() {
        return Make16(44100, 1, std::vector<int16_t>(2 * kHalfFrames, 0),
                      kBufferCtrlPositionNotify | kBufferCtrlVolume | kBufferGlobalFocus | kBufferGetCurrentPosition2);
    }
    static Result Register(Buffer& b, Event* const* e) {
        const Notification n[] = {{0, e[0]}, {kHalfBytes, e[1]}, {kNotifyOffsetStop, e[2]}};
        return b.SetNotificationPositions(3, n);
    }
};

TEST_F(Streaming, RefillsEachHalfBeforeTheCursorComesBack) {
    auto b = MakeStream();
    Event start(false, false), middle(false, false), stop(false, false), filled(false, false);
    Streamer s{*b, {&start, &middle, &stop}, &filled};
    ASSERT_EQ(Register(*b, s.events), Result::Ok);
    auto thread = host::kernel::StartThread([&] { return s.Run(); });
    ASSERT_NE(thread, nullptr);
    ASSERT_EQ(filled.Wait(5000), 0u);
    for (int16_t block = 1; block <= 8; ++block) {
        const std::vector<int16_t> out = Mix(kHalfFrames);
        ASSERT_EQ(out, std::vector<int16_t>(2 * kHalfFrames, block)) << block;
        ASSERT_EQ(filled.Wait(5000), 0u) << block;
    }
    ASSERT_EQ(b->Stop(), Result::Ok);
    ASSERT_TRUE(thread->Wait(5000));
    EXPECT_EQ(thread->ExitCode(), 0u);
    EXPECT_EQ(s.fills.load(), 9);
}

// While the mixer runs, streams are stopped or released and their events
// deleted; no event may be set after its owner was free to delete it.
TEST_F(Streaming, StopReplaceAndReleaseWhileTheMixerRuns) {
    MixerThread mixer(null);

    std::unique_ptr<Buffer> b;
    for (int round = 0; round < 24; ++round) {
        if (!b) b = MakeStream();
        std::unique_ptr<Event> events[3];
        Event* e[3];
        for (int i = 0; i < 3; ++i) e[i] = (events[i] = std::make_unique<Event>(false, false)).get();
        ASSERT_EQ(Register(*b, e), Result::Ok);
        Streamer s{*b, {e[0], e[1], e[2]}};
        auto thread = host::kernel::StartThread([&] { return s.Run(); });
        ASSERT_NE(thread, nullptr);
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (s.fills < 3 && thread->Wait(0) == false && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (round % 4 == 3) {   // told by hand; the buffer notifies until released
            e[2]->Set();
            ASSERT_TRUE(thread->Wait(5000)) << round;
            b.reset();
        } else {
            ASSERT_EQ(b->Stop(), Result::Ok);
            ASSERT_TRUE(thread->Wait(5000)) << round;
        }
        ASSERT_EQ(thread->ExitCode(), 0u) << round;
        ASSERT_GE(s.fills.load(), 3) << round;
    }
}

// Releasing a buffer or replacing its notifications retires its events at once.
TEST_F(Streaming, RetiredEventsAreNeverSetAgain) {
    MixerThread mixer(null);
    for (int round = 0; round < 300; ++round) {
        auto b = MakeStream();
        std::vector<std::unique_ptr<Event>> events;
        std::vector<Notification> n;
        for (uint32_t offset = 0; offset < 2 * kHalfBytes; offset += 8) {
            events.push_back(std::make_unique<Event>(false, false));
            n.push_back({offset, events.back().get()});
        }
        ASSERT_EQ(b->SetNotificationPositions(uint32_t(n.size()), n.data()), Result::Ok);
        b->Play(kPlayLooping);
        for (int spins = 0; spins < 100000 && events[0]->Wait(0) != 0; ++spins) std::this_thread::yield();
        if (round % 2) {
            b->Stop();
            ASSERT_EQ(b->SetNotificationPositions(0, nullptr), Result::Ok);
        } else {
            b.reset();
        }
        events.clear();
    }
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
}  // namespace host::sound::testing
