// The hand-over between the frame grabber and the conversion thread. These
// tests are built with ThreadSanitizer as well (label "tsan").
#include "korvan/media/frame_ring.h"

#include <gtest/gtest.h>

#include <cmath>
#include <thread>

#include "korvan/media/source_reader.h"
#include "tests/korvan/media/media_test_support.h"

namespace {

using korvan::media::FrameRing;
using korvan::media::RingPicture;

constexpr double kPictureSeconds = 0.04;

// Delivers `count` pictures as the grabber does (each into the buffer the
// ring gave back, sized again), then marks the end.
void Produce(FrameRing& ring, int count) {
    RingPicture picture;
    for (int i = 0; i < count && !ring.stopRequested; ++i) {
        picture.width = 4;
        picture.height = 2;
        picture.rows.resize(4 * 4 * 2 + 8);
        picture.rows[0] = static_cast<uint8_t>(i);
        if (ring.Deliver(i * kPictureSeconds, picture)) ring.continueEvent.Wait();
    }
    ring.ClearSlotsAfterLastWrite();
    ring.MarkComplete();
    ring.ringFullEvent.Signal();
}

TEST(FrameRingTest, EveryPictureIsHandedOverInTurnAtAnyStep) {
    for (const int step : {1, 3, 7, 10, 13, 25}) {
        SCOPED_TRACE(step);
        FrameRing ring;
        ring.Reset();
        ring.SetSourceSeconds(100);
        std::thread grabber(Produce, std::ref(ring), 200);
        for (int i = 0; i < 200; i += step) {
            ring.AwaitPictureAt(i * kPictureSeconds, std::chrono::milliseconds(5000));
            int marker = -1;
            double chosen = -1;
            ASSERT_TRUE(ring.UseNearest(i * kPictureSeconds,
                                        [&marker, &chosen](const RingPicture& got, double seconds) {
                                            marker = got.rows[0];
                                            chosen = seconds;
                                        }));
            ASSERT_NEAR(chosen, i * kPictureSeconds, 1e-9);
            ASSERT_EQ(marker, i % 256);
        }
        EXPECT_FALSE(ring.TimedOut());
        ring.stopRequested = true;
        while (!ring.Complete()) {
            ring.continueEvent.Signal();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        grabber.join();
    }
}

TEST(FrameRingTest, AStuckGrabberTimesOutOnceAndTheSlotsStayGuarded) {
    FrameRing ring;
    ring.Reset();
    ring.SetSourceSeconds(100);
    // Nothing comes: the wait ends after its time-out, and later waits do
    // not wait again.
    ring.AwaitPictureAt(1.0, std::chrono::milliseconds(50));
    EXPECT_TRUE(ring.TimedOut());
    const auto before = std::chrono::steady_clock::now();
    ring.AwaitPictureAt(2.0, std::chrono::milliseconds(5000));
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(1));

    // Now a grabber writes while the conversion thread reads without turns.
    std::thread grabber(Produce, std::ref(ring), 400);
    int broken = 0;
    for (int i = 0; i < 2000; ++i) {
        ring.AwaitPictureAt(i * 0.01, std::chrono::milliseconds(5000));
        // Reads the slot as a fetch does, while the grabber may deliver: a
        // picture is always seen whole.
        ring.UseNearest(i * 0.01, [&broken](const RingPicture& got, double) {
            const bool whole =
                got.width == 4 && got.height == 2 && got.rows.size() == 40 && got.rows[1] == 0;
            broken += whole ? 0 : 1;
        });
        ring.AskForMore();
    }
    EXPECT_EQ(broken, 0);
    ring.stopRequested = true;
    while (!ring.Complete()) {
        ring.continueEvent.Signal();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    grabber.join();
}

TEST(FrameRingTest, TheReaderRestartsItsGrabberWhileItRunsAndClosesItMidway) {
    test::TempDir dir;
    const std::string path = dir / "clip.mp4";
    ASSERT_TRUE(test::MakeMediaClip(path, 3, "96x64", "mpeg4", "aac"));
    korvan::media::SourceReader reader;
    ASSERT_TRUE(korvan::media::OpenSourceReader(reader, path, {}));
    int rowBytes = 0;
    const uint8_t* pixels = nullptr;
    for (int round = 0; round < 3; ++round) {
        for (long long n = 0; n < 30 + 10 * round; ++n) {
            ASSERT_EQ(korvan::media::FetchSourceFrame(reader, n, rowBytes, pixels), 0);
            ASSERT_NEAR(reader.lastFetchedSeconds, korvan::media::SourceFrameSeconds(reader, n),
                        0.0401);
        }
    }
    // The grabber is blocked on a full ring here; closing stops it.
    korvan::media::CloseSourceReader(reader);
    EXPECT_FALSE(reader.isOpen);
}

}  // namespace
