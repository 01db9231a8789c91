// The sites, surfaces, audio device and progress arithmetic the engine
// meets, driven through the engine's interfaces on players of the real
// engine library, into real AVI files that ffprobe reads back.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "korvan/media/avi_writer.h"
#include "korvan/realmedia/audio_capture_device.h"
#include "korvan/realmedia/capture_site.h"
#include "korvan/realmedia/capture_surface.h"
#include "korvan/realmedia/playback_progress.h"
#include "korvan/realmedia/site_supplier.h"
#include "korvan/realmedia/site_video_surface.h"
#include "korvan/realmedia/yuv_to_rgb.h"
#include "platform/message_loop.h"
#include "tests/support/av_sync.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace korvan::realmedia;
using namespace realengine;

// A planar picture of one colour.
std::vector<uint8_t> FlatI420(int width, int height, uint8_t y, uint8_t u, uint8_t v) {
    const std::size_t luma = static_cast<std::size_t>(width) * height;
    std::vector<uint8_t> planes(luma, y);
    planes.resize(luma + luma / 4, u);
    planes.resize(luma + luma / 2, v);
    return planes;
}

PictureHeader I420Header(int width, int height) {
    PictureHeader header;
    header.size = 40;
    header.width = width;
    header.height = height;
    header.bitCount = 12;
    header.compression = kCompressionI420;
    header.sizeImage = static_cast<uint32_t>(width * height * 3 / 2);
    return header;
}

TEST(PlanarPictures, BecomeBottomUpRowsWithTheTablesAndTheirClamps) {
    // Two rows of two pels sharing one chroma sample, then the same over
    // mid-grey: top row bright, bottom row dark.
    std::vector<uint8_t> planes = {255, 255, 0, 0, 255, 0};  // Y Y Y Y U V
    std::vector<uint8_t> rgb(2 * 8, 0xEE);                   // stride 8
    PlanarYuvToBottomUpRgb24(planes.data(), 2, 2, rgb.data(), 8);
    // Output row 0 is the bottom source row (Y = 0): B = 0 + 215, G = 0 -
    // 43 + 89, R = 0 - 179 clamped to 0.
    EXPECT_EQ(std::vector<uint8_t>(rgb.begin(), rgb.begin() + 6),
              (std::vector<uint8_t>{215, 46, 0, 215, 46, 0}));
    // Output row 1 is the top source row (Y = 255): B clamped to 255, R
    // = 255 - 179.
    EXPECT_EQ(std::vector<uint8_t>(rgb.begin() + 8, rgb.begin() + 14),
              (std::vector<uint8_t>{255, 255, 76, 255, 255, 76}));
    // The padding of each row is not touched.
    EXPECT_EQ(rgb[6], 0xEE);
    EXPECT_EQ(rgb[15], 0xEE);

    const std::vector<uint8_t> grey = FlatI420(4, 4, 128, 128, 128);
    std::vector<uint8_t> out(4 * 12, 0);
    PlanarYuvToBottomUpRgb24(grey.data(), 4, 4, out.data(), 12);
    EXPECT_EQ(out, std::vector<uint8_t>(48, 128));
}

TEST(PositionReports, GiveThePercentAndTheRemainingTimeAtTheWritersPace) {
    const PlaybackProgress quarter = ProgressAt(30000, 120000);
    EXPECT_EQ(quarter.percent, 25);
    EXPECT_EQ(quarter.tip, "Remain 00:04:17");  // 90 000 × 1000 / 350 ms
    const PlaybackProgress start = ProgressAt(0, 120000);
    EXPECT_EQ(start.percent, 0);
    EXPECT_EQ(start.tip, "Remain 00:05:42");  // 342 857 ms
    // Past the end: all done, nothing left (not a wrapped-around time).
    const PlaybackProgress beyond = ProgressAt(130000, 120000);
    EXPECT_EQ(beyond.percent, 100);
    EXPECT_EQ(beyond.tip, "Remain 00:00:00");
    EXPECT_EQ(ProgressAt(5000, 0).percent, 0);
    EXPECT_EQ(ProcessedTip(3723000), "Processed 01:02:03");
}

TEST(AudioFormats, GiveTheAvisFormatAndTheCaptureGranularity) {
    const AudioFormat cd{2, 16, 44100, 17640};
    const korvan::media::WaveFormat wave = AviAudioFormat(cd);
    EXPECT_EQ(wave.formatTag, 1);
    EXPECT_EQ(wave.blockAlign, 4);
    EXPECT_EQ(wave.avgBytesPerSec, 176400u);
    EXPECT_EQ(GranularityMs(cd), 100u);
    // 1000 bytes of 22 050 Hz mono: 22.68 ms, rounded to the nearest.
    EXPECT_EQ(GranularityMs(AudioFormat{1, 16, 22050, 1000}), 23u);
}

// A player of the real engine, an AVI writer without its pause, and the
// sink the client objects write through.
class EngineClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        library_ = dlopen(ZARVO_ENGINE_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(library_, nullptr) << dlerror();
        create_ = reinterpret_cast<CreateEngineFunction>(dlsym(library_, kCreateEngineName));
        close_ = reinterpret_cast<CloseEngineFunction>(dlsym(library_, kCloseEngineName));
        live_ = reinterpret_cast<int (*)()>(dlsym(library_, "EngineLiveObjects"));
        ASSERT_TRUE(create_ && close_ && live_);
        ASSERT_EQ(create_(&engine_), kOk);
        ASSERT_EQ(engine_->CreatePlayer(player_.Put()), kOk);
        sink_->writer = &writer_;
        writer_.OpenAvi(AviPath());
        ASSERT_FALSE(writer_.Failed());
    }
    void TearDown() override {
        if (engine_) {
            engine_->ClosePlayer(player_.Get());
            player_.Reset();
            close_(engine_);
        }
        writer_.CloseAvi();
        sink_->writer = nullptr;
        EXPECT_EQ(LiveEngineObjects(), 0);
        if (live_) {
            EXPECT_EQ(live_(), 0);
        }
        if (library_) dlclose(library_);
    }

    static korvan::media::AviWriterHooks Hooks(const std::string& folder) {
        korvan::media::AviWriterHooks hooks;
        hooks.hostFolder = folder;
        hooks.throttleInterval = std::chrono::milliseconds(0);
        return hooks;
    }
    std::string AviPath() const { return folder_ / "capture.avi"; }

    // A site request named like the engine's.
    Ref<Values> Request(const char* key, const char* value) {
        Ref<Values> values;
        auto factory = Query<ClassFactory>(player_.Get(), kClassFactoryId);
        EXPECT_TRUE(factory);
        if (factory) factory->CreateInstance(kValuesId, values.PutVoid());
        if (values) values->SetTextProperty(key, value);
        return values;
    }
    static Result BlitThroughOwnSurface(CaptureSite& site, const std::vector<uint8_t>& planes,
                                        int width, int height) {
        Ref<VideoSurface> surface;
        EXPECT_EQ(site.GetVideoSurface(surface.Put()), kOk);
        const PictureHeader header = I420Header(width, height);
        const Rect whole{0, 0, width, height};
        return surface->Blit(planes.data(), &header, &whole, &whole);
    }

    test::TempDir folder_{"capture ü"};
    korvan::media::AviWriter writer_{Hooks(folder_.Folder())};
    SharedCaptureSink sink_ = std::make_shared<CaptureSink>();
    void* library_ = nullptr;
    CreateEngineFunction create_ = nullptr;
    CloseEngineFunction close_ = nullptr;
    int (*live_)() = nullptr;
    Engine* engine_ = nullptr;
    Ref<Player> player_;
};

TEST_F(EngineClientTest, SitesTurnPicturesIntoFramesAndKeepTheirLargestBuffer) {
    using Supplier = korvan::realmedia::SiteSupplier;
    auto supplier = Ref<Supplier>::Adopt(new Supplier(player_.Get(), sink_));
    EXPECT_EQ(supplier->SitesNeeded(7, nullptr), kInvalidArgument);
    ASSERT_EQ(supplier->SitesNeeded(7, Request("name", "video").Get()), kOk);
    CaptureSite* site = supplier->SiteOf(7);
    ASSERT_NE(site, nullptr);
    const char* group = nullptr;
    ASSERT_EQ(site->Properties()->GetTextProperty("LayoutGroup", &group), kOk);
    EXPECT_STREQ(group, "video");

    // No size yet: no region, so nothing is blitted.
    EXPECT_EQ(BlitThroughOwnSurface(*site, FlatI420(320, 240, 128, 128, 128), 320, 240),
              kUnexpected);
    ASSERT_EQ(site->SetSize({320, 240}), kOk);
    EXPECT_EQ(BlitThroughOwnSurface(*site, FlatI420(320, 240, 128, 128, 128), 320, 240), kFail);
    EXPECT_EQ(writer_.FrameCount(), 1);
    const CaptureSurface& capture = *site->GetCaptureSurface();
    EXPECT_EQ(capture.OutputHeader().sizeImage, 230400u);
    EXPECT_EQ(capture.OutputPixels(), std::vector<uint8_t>(230400, 128));

    // A zero dimension changes nothing; a smaller site keeps the buffer, and
    // its smaller picture repeats the frame before.
    EXPECT_EQ(site->SetSize({0, 120}), kOk);
    Size size;
    site->GetSize(&size);
    EXPECT_EQ(size.width, 320);
    ASSERT_EQ(site->SetSize({160, 120}), kOk);
    BlitThroughOwnSurface(*site, FlatI420(160, 120, 16, 128, 128), 160, 120);
    EXPECT_EQ(writer_.FrameCount(), 2);
    EXPECT_EQ(capture.OutputHeader().width, 320);
    EXPECT_EQ(capture.OutputPixels(), std::vector<uint8_t>(230400, 128));

    // The same request again: the new site takes its place in the map.
    ASSERT_EQ(supplier->SitesNeeded(7, Request("playto", "main").Get()), kOk);
    EXPECT_NE(supplier->SiteOf(7), site);
    EXPECT_EQ(supplier->SiteCount(), 1u);
    const char* channel = nullptr;
    ASSERT_EQ(supplier->SiteOf(7)->Properties()->GetTextProperty("channel", &channel), kOk);
    EXPECT_STREQ(channel, "main");
    EXPECT_EQ(supplier->SitesNotNeeded(8), kInvalidArgument);
    EXPECT_EQ(supplier->SitesNotNeeded(7), kOk);
    EXPECT_EQ(supplier->SiteCount(), 0u);
    supplier.Reset();

    writer_.SetDurationMs(80);
    writer_.CloseAvi();
    const test::StreamFacts facts = test::ProbeStreamFacts(AviPath());
    EXPECT_EQ(facts.pictures, 2);
    EXPECT_NEAR(facts.videoSeconds, 0.08, 0.001);
}

TEST_F(EngineClientTest, ChildSitesKeepTheirOrderAndCutEachOthersRegions) {
    auto top = Ref<CaptureSite>::Adopt(new CaptureSite(player_.Get(), nullptr, sink_));
    top->SetCaptureSurface(Ref<CaptureSurface>::Adopt(new CaptureSurface(top.Get(), sink_)));
    ASSERT_EQ(top->SetSize({100, 100}), kOk);
    EXPECT_EQ(top->SetZOrder(1), kUnexpected);  // a top site has no siblings
    EXPECT_EQ(top->MoveSiteToTop(), kUnexpected);

    Site* children[3] = {};
    for (Site*& child : children) ASSERT_EQ(top->CreateChild(&child), kOk);
    auto extended = [](Site* site) { return Query<ExtendedSite>(site, kExtendedSiteId); };
    children[0]->SetSize({50, 50});
    children[1]->SetPosition({25, 0});
    children[1]->SetSize({50, 50});
    children[2]->SetPosition({80, 80});
    children[2]->SetSize({20, 20});
    EXPECT_EQ(extended(children[0])->MoveSiteToTop(), kNotImplemented);

    // -1 is the last place; the others keep their order around it.
    ASSERT_EQ(extended(children[0])->SetZOrder(-1), kOk);
    EXPECT_EQ(extended(children[0])->GetZOrder(), 2);
    EXPECT_EQ(extended(children[1])->GetZOrder(), 0);
    EXPECT_EQ(extended(children[2])->GetZOrder(), 1);
    ASSERT_EQ(extended(children[2])->SetZOrder(0), kOk);
    EXPECT_EQ(extended(children[2])->GetZOrder(), 0);
    EXPECT_EQ(extended(children[1])->GetZOrder(), 1);
    EXPECT_EQ(extended(children[0])->GetZOrder(), 2);

    // The second child lies under the first where they overlap; the top
    // site shows only where no child is.
    auto* second = static_cast<CaptureSite*>(children[1]);
    Rect cover{};
    for (const Rect& rect : second->Region().Rects()) {
        EXPECT_GE(rect.left, 50);
        cover.right = std::max(cover.right, rect.right);
    }
    EXPECT_EQ(cover.right, 75);
    long topArea = 0;
    for (const Rect& rect : top->Region().Rects()) {
        topArea += static_cast<long>(rect.right - rect.left) * (rect.bottom - rect.top);
    }
    EXPECT_EQ(topArea, 100 * 100 - 75 * 50 - 20 * 20);

    // A blit through the top site's surface reaches its capture surface
    // once for each rectangle of its region.
    const std::size_t before = static_cast<std::size_t>(writer_.FrameCount());
    BlitThroughOwnSurface(*top.Get(), FlatI420(100, 100, 128, 128, 128), 100, 100);
    EXPECT_EQ(static_cast<std::size_t>(writer_.FrameCount()) - before,
              top->Region().Rects().size());

    // Hidden, the first child no longer covers the second.
    ASSERT_EQ(extended(children[0])->ShowSite(0), kOk);
    EXPECT_EQ(extended(children[0])->IsSiteVisible(), 0);
    EXPECT_TRUE(static_cast<CaptureSite*>(children[0])->Region().Empty());
    EXPECT_EQ(second->Region().Rects().size(), 1u);
    EXPECT_EQ(top->DestroyChild(children[1]), kOk);
    EXPECT_EQ(top->GetNumberOfChildSites(), 2u);
    for (Site* child : {children[0], children[2]}) top->DestroyChild(child);
    for (Site* child : children) child->Release();
    top->Close();
}

// What a site user is told.
class RecordingUser final : public SiteUser {
public:
    Result QueryInterface(const InterfaceId&, void**) override { return kNoInterface; }
    uint32_t AddRef() override { return ++count_; }
    uint32_t Release() override { return --count_; }
    Result AttachSite(Site*) override { return kOk; }
    Result DetachSite() override { return kOk; }
    Result HandleEvent(SiteEvent* event) override {
        events.push_back(*event);
        return kOk;
    }
    int32_t NeedsWindowedSites() override { return 0; }
    std::vector<SiteEvent> events;

private:
    uint32_t count_ = 1;
};

TEST_F(EngineClientTest, ADamagedSiteWhoseRegionChangesIsRedrawnOnce) {
    auto site = Ref<CaptureSite>::Adopt(new CaptureSite(player_.Get(), nullptr, sink_));
    RecordingUser user;
    ASSERT_EQ(site->AttachUser(&user), kOk);
    EXPECT_EQ(site->AttachUser(&user), kUnexpected);
    ASSERT_EQ(site->SetSize({64, 48}), kOk);
    EXPECT_TRUE(user.events.empty());  // not damaged
    site->DamageRect({0, 0, 8, 8});
    ASSERT_EQ(site->SetSize({32, 48}), kOk);
    ASSERT_EQ(user.events.size(), 1u);
    EXPECT_EQ(user.events[0].event, kRedrawEvent);
    EXPECT_EQ(user.events[0].param1, static_cast<VideoSurface*>(site->OwnSurface()));
    EXPECT_EQ(user.events[0].window, nullptr);
    // Redrawn, it is no longer damaged.
    ASSERT_EQ(site->SetSize({16, 48}), kOk);
    EXPECT_EQ(user.events.size(), 1u);
    ASSERT_EQ(site->DetachUser(), kOk);
    EXPECT_EQ(site->DetachUser(), kUnexpected);
}

TEST(ClippedSources, AreRoundedToTheNearestPel) {
    const Rect source = ClippedSource({10, 10, 31, 30}, {0, 0}, 2.0);
    EXPECT_EQ(source.left, 5);
    EXPECT_EQ(source.right, 16);  // 15.5 rounds up
    const Rect moved = ClippedSource({20, 20, 40, 40}, {10, 5}, 3.0);
    EXPECT_EQ(moved.left, 3);     // 3.33
    EXPECT_EQ(moved.top, 5);      // 5.0
    EXPECT_EQ(moved.bottom, 12);  // 11.67
}

// A block of PCM as the engine hands it over.
class Block final : public Buffer {
public:
    explicit Block(std::size_t bytes) : bytes_(bytes, 0x11) {}
    Result QueryInterface(const InterfaceId&, void**) override { return kNoInterface; }
    uint32_t AddRef() override { return ++count_; }
    uint32_t Release() override { return --count_; }
    Result Get(uint8_t**, uint32_t*) override { return kNotImplemented; }
    Result Set(const uint8_t*, uint32_t) override { return kNotImplemented; }
    Result SetSize(uint32_t) override { return kNotImplemented; }
    uint32_t GetSize() override { return static_cast<uint32_t>(bytes_.size()); }
    uint8_t* GetBuffer() override { return bytes_.data(); }
    uint32_t References() const { return count_; }

private:
    std::vector<uint8_t> bytes_;
    uint32_t count_ = 1;
};

TEST_F(EngineClientTest, TheAudioDeviceQueuesBlocksAndCapturesOneAtATime) {
    auto device = Ref<AudioCaptureDevice>::Adopt(new AudioCaptureDevice(player_.Get(), sink_));
    auto response = Query<AudioDeviceResponse>(player_.Get(), kAudioDeviceResponseId);
    ASSERT_TRUE(response);
    const AudioFormat format{2, 16, 44100, 17640};
    Block block(17640);
    AudioData data{&block, 100, 0};
    EXPECT_EQ(device->Write(&data), kUnexpected);  // not opened
    EXPECT_EQ(device->Open(&format, nullptr), kInvalidArgument);
    ASSERT_EQ(device->Open(&format, response.Get()), kOk);
    EXPECT_EQ(device->Open(&format, response.Get()), kUnexpected);
    EXPECT_EQ(device->Resume(), kUnexpected);  // not paused

    // Paused, a write still queues its block and schedules the capture.
    ASSERT_EQ(device->Pause(), kOk);
    EXPECT_EQ(device->Pause(), kUnexpected);
    ASSERT_EQ(device->Write(&data), kOk);
    EXPECT_EQ(device->GranularityMs(), 100u);
    EXPECT_EQ(device->QueuedBlocks(), 1u);
    EXPECT_TRUE(device->CallbackScheduled());
    EXPECT_EQ(block.References(), 2u);
    // Drained, the block goes unwritten.
    ASSERT_EQ(device->Drain(), kOk);
    EXPECT_EQ(device->QueuedBlocks(), 0u);
    EXPECT_FALSE(device->CallbackScheduled());
    EXPECT_EQ(block.References(), 1u);
    while (platform::DispatchPendingMessages() > 0) {
    }
    uint32_t timeMs = 1;
    device->GetCurrentAudioTime(&timeMs);
    EXPECT_EQ(timeMs, 0u);

    // Resumed, two blocks are captured by two callbacks, and the clock is
    // the time of the last one written.
    ASSERT_EQ(device->Resume(), kOk);
    data.audioTimeMs = 100;
    ASSERT_EQ(device->Write(&data), kOk);
    data.audioTimeMs = 200;
    ASSERT_EQ(device->Write(&data), kOk);
    EXPECT_EQ(device->QueuedBlocks(), 2u);
    platform::DispatchPendingMessages();
    EXPECT_EQ(device->QueuedBlocks(), 1u);
    device->GetCurrentAudioTime(&timeMs);
    EXPECT_EQ(timeMs, 100u);
    while (platform::DispatchPendingMessages() > 0) {
    }
    EXPECT_EQ(device->QueuedBlocks(), 0u);
    device->GetCurrentAudioTime(&timeMs);
    EXPECT_EQ(timeMs, 200u);
    EXPECT_EQ(block.References(), 1u);

    EXPECT_EQ(device->Close(1), kOk);
    EXPECT_EQ(device->Close(1), kUnexpected);
    device->GetCurrentAudioTime(&timeMs);
    EXPECT_EQ(timeMs, 0u);
    device.Reset();
    response.Reset();

    // The two blocks, 2 × 4410 sample frames, are the AVI's sound.
    writer_.CloseAvi();
    EXPECT_NEAR(test::ProbeStreamFacts(AviPath()).audioSeconds, 0.2, 0.001);
}

}  // namespace
