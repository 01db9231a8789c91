// The RealMedia engine's interfaces, shared by the engine library
// (libpnen3260.so) and by Korvan, which loads it at run time and implements
// the client's side (sites, video surfaces, the audio device, the advise
// sink). Every interface is a reference-counted object whose first three
// virtual slots are QueryInterface, AddRef and Release, followed by its own
// operations in the order declared here: the two libraries meet only through
// these tables, so the order of the declarations is the contract.
//
// The interfaces declare no destructor (a virtual one would take slots):
// an object is destroyed by its own Release.
#pragma once

#include <cstdint>

namespace realengine {

// 32-bit results: 0 is success, failures have the top bit set.
using Result = std::int32_t;

inline constexpr Result kOk = 0;
inline constexpr Result kNotImplemented = static_cast<Result>(0x80004001);
inline constexpr Result kNoInterface = static_cast<Result>(0x80004002);
inline constexpr Result kFail = static_cast<Result>(0x80004005);
inline constexpr Result kUnexpected = static_cast<Result>(0x80040009);
inline constexpr Result kInvalidArgument = static_cast<Result>(0x80070057);
inline constexpr Result kOutOfMemory = static_cast<Result>(0x8007000E);

constexpr bool Succeeded(Result result) { return result >= 0; }

// A 128-bit interface or class identifier. All of the engine's share the
// form {xxxxxxxx-0901-11D1-8B06-00A024406D59}; only the first group differs.
struct InterfaceId {
    std::uint32_t data1;
    std::uint16_t data2;
    std::uint16_t data3;
    std::uint8_t data4[8];
};

constexpr bool operator==(const InterfaceId& a, const InterfaceId& b) {
    if (a.data1 != b.data1 || a.data2 != b.data2 || a.data3 != b.data3) return false;
    for (int i = 0; i < 8; ++i) {
        if (a.data4[i] != b.data4[i]) return false;
    }
    return true;
}

constexpr InterfaceId EngineId(std::uint32_t first) {
    return {first, 0x0901, 0x11D1, {0x8B, 0x06, 0x00, 0xA0, 0x24, 0x40, 0x6D, 0x59}};
}

// {00000000-0000-0000-C000-000000000046}, the base interface.
inline constexpr InterfaceId kUnknownId{0, 0, 0, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

inline constexpr InterfaceId kClassFactoryId = EngineId(0x00000000);
inline constexpr InterfaceId kCallbackId = EngineId(0x00000100);
inline constexpr InterfaceId kSchedulerId = EngineId(0x00000101);
inline constexpr InterfaceId kBufferId = EngineId(0x00000200);
inline constexpr InterfaceId kEngineId = EngineId(0x00000401);
inline constexpr InterfaceId kPlayerId = EngineId(0x00000402);
inline constexpr InterfaceId kStatisticsRegistryId = EngineId(0x00000600);
inline constexpr InterfaceId kAudioDeviceId = EngineId(0x00000703);
inline constexpr InterfaceId kAudioDeviceResponseId = EngineId(0x00000704);
inline constexpr InterfaceId kAudioDeviceManagerId = EngineId(0x0000070A);
inline constexpr InterfaceId kErrorSinkId = EngineId(0x00000801);
inline constexpr InterfaceId kErrorSinkControlId = EngineId(0x00000802);
inline constexpr InterfaceId kClientAdviseSinkId = EngineId(0x00000B00);
inline constexpr InterfaceId kSiteUserId = EngineId(0x00000D01);
inline constexpr InterfaceId kSiteWindowlessId = EngineId(0x00000D02);
inline constexpr InterfaceId kSiteId = EngineId(0x00000D03);
inline constexpr InterfaceId kSiteWatcherId = EngineId(0x00000D04);
inline constexpr InterfaceId kSiteSupplierId = EngineId(0x00000D07);
inline constexpr InterfaceId kSiteManagerId = EngineId(0x00000D08);
inline constexpr InterfaceId kExtendedSiteId = EngineId(0x00000D0A);
inline constexpr InterfaceId kPassiveSiteWatcherId = EngineId(0x00000D0B);
inline constexpr InterfaceId kValuesId = EngineId(0x00001302);
inline constexpr InterfaceId kVideoSurfaceId = EngineId(0x00002200);

class Unknown {
public:
    virtual Result QueryInterface(const InterfaceId& id, void** object) = 0;  // slot 0
    virtual std::uint32_t AddRef() = 0;                                       // slot 1
    virtual std::uint32_t Release() = 0;                                      // slot 2

protected:
    ~Unknown() = default;
};

// ---- Plain records passed through the interfaces -------------------------

// A picture's header: a BITMAPINFOHEADER (40 bytes) and three further 32-bit
// fields, little-endian, 52 bytes in all.
struct PictureHeader {
    std::uint32_t size = sizeof(PictureHeader);
    std::int32_t width = 0;
    std::int32_t height = 0;  // negative: top row first
    std::uint16_t planes = 1;
    std::uint16_t bitCount = 0;
    std::uint32_t compression = 0;
    std::uint32_t sizeImage = 0;
    std::int32_t xPelsPerMeter = 0;
    std::int32_t yPelsPerMeter = 0;
    std::uint32_t clrUsed = 0;
    std::uint32_t clrImportant = 0;
    std::uint32_t extra[3] = {0, 0, 0};
};
static_assert(sizeof(PictureHeader) == 52);

inline constexpr std::uint32_t kCompressionRgb = 0;
inline constexpr std::uint32_t kCompressionI420 = 0x30323449;  // "I420"
inline constexpr std::uint32_t kCompressionYv12 = 0x59555632;

struct Rect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};
struct Point {
    std::int32_t x = 0;
    std::int32_t y = 0;
};
struct Size {
    std::int32_t width = 0;
    std::int32_t height = 0;
};

// What a site user is sent; kRedrawEvent carries the site's video surface
// as param1.
inline constexpr std::uint32_t kRedrawEvent = 0x2001;
struct SiteEvent {
    std::uint32_t event = 0;
    void* window = nullptr;
    void* param1 = nullptr;
    void* param2 = nullptr;
    std::uint32_t result = 0;
    std::int32_t handled = 0;
};

// The PCM format of a presentation's sound. The largest block is 32 bits
// wide, so that a block can hold more than a third of a second of CD-quality
// stereo.
struct AudioFormat {
    std::uint16_t channels = 0;
    std::uint16_t bitsPerSample = 0;
    std::uint32_t samplesPerSec = 0;
    std::uint32_t maxBlockSize = 0;
};

class Buffer;
struct AudioData {
    Buffer* data = nullptr;
    std::uint32_t audioTimeMs = 0;
    std::uint32_t streamType = 0;
};

// ---- Interfaces ----------------------------------------------------------

class Buffer : public Unknown {
public:
    virtual Result Get(std::uint8_t** bytes, std::uint32_t* size) = 0;      // 3
    virtual Result Set(const std::uint8_t* bytes, std::uint32_t size) = 0;  // 4
    virtual Result SetSize(std::uint32_t size) = 0;                         // 5
    virtual std::uint32_t GetSize() = 0;                                    // 6
    virtual std::uint8_t* GetBuffer() = 0;                                  // 7

protected:
    ~Buffer() = default;
};

class ClassFactory : public Unknown {
public:
    virtual Result CreateInstance(const InterfaceId& classId, void** object) = 0;  // 3

protected:
    ~ClassFactory() = default;
};

// A set of named values; the client's sites keep their properties in one.
class Values : public Unknown {
public:
    virtual Result SetNumberProperty(const char* name, std::uint32_t value) = 0;         // 3
    virtual Result GetNumberProperty(const char* name, std::uint32_t* value) = 0;        // 4
    virtual Result GetFirstNumberProperty(const char** name, std::uint32_t* value) = 0;  // 5
    virtual Result GetNextNumberProperty(const char** name, std::uint32_t* value) = 0;   // 6
    virtual Result SetBufferProperty(const char* name, Buffer* value) = 0;               // 7
    virtual Result GetBufferProperty(const char* name, Buffer** value) = 0;              // 8
    virtual Result GetFirstTextProperty(const char** name, const char** value) = 0;      // 9
    virtual Result GetNextTextProperty(const char** name, const char** value) = 0;       // 10
    virtual Result SetTextProperty(const char* name, const char* value) = 0;             // 11
    // The text stays valid while the set lives and the property is not set
    // again.
    virtual Result GetTextProperty(const char* name, const char** value) = 0;  // 12

protected:
    ~Values() = default;
};

class Callback : public Unknown {
public:
    virtual Result Func() = 0;  // 3: the scheduled call

protected:
    ~Callback() = default;
};

using CallbackHandle = std::uint32_t;  // 0: none

class Scheduler : public Unknown {
public:
    // 3: calls `callback` once, `delayMs` from now on the presentation's
    // clock, on the thread that drives the engine; 0 when it cannot.
    virtual CallbackHandle RelativeEnter(Callback* callback, std::uint32_t delayMs) = 0;
    // 4: the same at an absolute time of the presentation's clock.
    virtual CallbackHandle AbsoluteEnter(Callback* callback, std::uint32_t timeMs) = 0;
    virtual Result Remove(CallbackHandle handle) = 0;  // 5

protected:
    ~Scheduler() = default;
};

class ClientAdviseSink : public Unknown {
public:
    virtual Result OnPosLength(std::uint32_t positionMs, std::uint32_t lengthMs) = 0;  // 3
    virtual Result OnPresentationOpened() = 0;                                         // 4
    virtual Result OnPresentationClosed() = 0;                                         // 5
    virtual Result OnStatisticsChanged() = 0;                                          // 6
    virtual Result OnPreSeek(std::uint32_t oldTimeMs, std::uint32_t newTimeMs) = 0;    // 7
    virtual Result OnPostSeek(std::uint32_t oldTimeMs, std::uint32_t newTimeMs) = 0;   // 8
    virtual Result OnStop() = 0;                                                       // 9
    virtual Result OnPause(std::uint32_t timeMs) = 0;                                  // 10
    virtual Result OnBegin(std::uint32_t timeMs) = 0;                                  // 11
    virtual Result OnBuffering(std::uint32_t flags, std::uint16_t percent) = 0;        // 12
    virtual Result OnContacting(const char* hostName) = 0;                             // 13

protected:
    ~ClientAdviseSink() = default;
};

class Player : public Unknown {
public:
    virtual Result GetEngine(Unknown** engine) = 0;                       // 3
    virtual std::int32_t IsDone() = 0;                                    // 4: non-zero once ended
    virtual std::int32_t IsLive() = 0;                                    // 5
    virtual std::uint32_t GetCurrentPlayTime() = 0;                       // 6: ms
    virtual Result OpenURL(const char* url) = 0;                          // 7
    virtual Result Begin() = 0;                                           // 8
    virtual Result Stop() = 0;                                            // 9
    virtual Result Pause() = 0;                                           // 10
    virtual Result Seek(std::uint32_t timeMs) = 0;                        // 11
    virtual std::uint16_t GetSourceCount() = 0;                           // 12
    virtual Result GetSource(std::uint16_t index, Unknown** source) = 0;  // 13
    virtual Result SetClientContext(Unknown* context) = 0;                // 14
    virtual Result GetClientContext(Unknown** context) = 0;               // 15
    virtual Result AddAdviseSink(ClientAdviseSink* sink) = 0;             // 16
    virtual Result RemoveAdviseSink(ClientAdviseSink* sink) = 0;          // 17

protected:
    ~Player() = default;
};

class Engine : public Unknown {
public:
    virtual Result CreatePlayer(Player** player) = 0;  // 3
    virtual Result ClosePlayer(Player* player) = 0;    // 4

protected:
    ~Engine() = default;
};

// Read-only figures of a player (pictures rendered, blocks written).
class StatisticsRegistry : public Unknown {
public:
    virtual Result GetNumber(const char* name, std::int64_t* value) = 0;  // 3

protected:
    ~StatisticsRegistry() = default;
};

class AudioDeviceResponse : public Unknown {
public:
    // 3: the sound up to `timeMs` has been played.
    virtual Result OnTimeSync(std::uint32_t timeMs) = 0;

protected:
    ~AudioDeviceResponse() = default;
};

class AudioDevice : public Unknown {
public:
    virtual Result Open(const AudioFormat* format, AudioDeviceResponse* response) = 0;  // 3
    virtual Result Close(std::int32_t flush) = 0;                                       // 4
    virtual Result Resume() = 0;                                                        // 5
    virtual Result Pause() = 0;                                                         // 6
    virtual Result Write(const AudioData* data) = 0;                                    // 7
    virtual std::int32_t InitVolume(std::uint16_t minimum, std::uint16_t maximum) = 0;  // 8
    virtual std::int32_t SetVolume(std::uint16_t volume) = 0;                           // 9
    virtual std::uint16_t GetVolume() = 0;                                              // 10
    virtual Result Reset() = 0;                                                         // 11
    virtual Result Drain() = 0;                                                         // 12
    virtual Result CheckFormat(const AudioFormat* format) = 0;                          // 13
    virtual Result GetCurrentAudioTime(std::uint32_t* timeMs) = 0;                      // 14

protected:
    ~AudioDevice() = default;
};

class AudioDeviceManager : public Unknown {
public:
    virtual Result Replace(AudioDevice* device) = 0;  // 3
    virtual Result Remove(AudioDevice* device) = 0;   // 4

protected:
    ~AudioDeviceManager() = default;
};

class ErrorSink : public Unknown {
public:
    virtual Result ErrorOccurred(std::uint8_t severity, Result code, const char* text) = 0;  // 3

protected:
    ~ErrorSink() = default;
};

class ErrorSinkControl : public Unknown {
public:
    virtual Result AddErrorSink(ErrorSink* sink, std::uint8_t lowSeverity,
                                std::uint8_t highSeverity) = 0;  // 3
    virtual Result RemoveErrorSink(ErrorSink* sink) = 0;         // 4

protected:
    ~ErrorSinkControl() = default;
};

class Site;
class VideoSurface;

// The engine's renderer attached to a site.
class SiteUser : public Unknown {
public:
    virtual Result AttachSite(Site* site) = 0;         // 3
    virtual Result DetachSite() = 0;                   // 4
    virtual Result HandleEvent(SiteEvent* event) = 0;  // 5
    virtual std::int32_t NeedsWindowedSites() = 0;     // 6

protected:
    ~SiteUser() = default;
};

class SiteWatcher : public Unknown {
public:
    virtual Result AttachSite(Site* site) = 0;                                   // 3
    virtual Result DetachSite() = 0;                                             // 4
    virtual Result ChangingPosition(Point oldPosition, Point* newPosition) = 0;  // 5
    virtual Result ChangingSize(Size oldSize, Size* newSize) = 0;                // 6

protected:
    ~SiteWatcher() = default;
};

class PassiveSiteWatcher : public Unknown {
public:
    virtual Result PositionChanged(Point* position) = 0;  // 3
    virtual Result SizeChanged(Size* size) = 0;           // 4

protected:
    ~PassiveSiteWatcher() = default;
};

class Site : public Unknown {
public:
    virtual Result AttachUser(SiteUser* user) = 0;           // 3
    virtual Result DetachUser() = 0;                         // 4
    virtual Result GetUser(SiteUser** user) = 0;             // 5
    virtual Result CreateChild(Site** child) = 0;            // 6
    virtual Result DestroyChild(Site* child) = 0;            // 7
    virtual Result AttachWatcher(SiteWatcher* watcher) = 0;  // 8
    virtual Result DetachWatcher() = 0;                      // 9
    virtual Result SetPosition(Point position) = 0;          // 10
    virtual Result GetPosition(Point* position) = 0;         // 11
    virtual Result SetSize(Size size) = 0;                   // 12
    virtual Result GetSize(Size* size) = 0;                  // 13
    virtual Result DamageRect(Rect rect) = 0;                // 14
    virtual Result DamageRegion(void* region) = 0;           // 15
    virtual Result ForceRedraw() = 0;                        // 16

protected:
    ~Site() = default;
};

// What a windowless site says of windows: it has none to attach.
class SiteWindowless : public Unknown {
public:
    virtual Result AttachWindow(void* window) = 0;  // 3
    virtual Result DetachWindow() = 0;              // 4

protected:
    ~SiteWindowless() = default;
};

class ExtendedSite : public Unknown {
public:
    virtual Result UpdateSiteWindow(void* window) = 0;                         // 3
    virtual Result ShowSite(std::int32_t show) = 0;                            // 4
    virtual std::int32_t IsSiteVisible() = 0;                                  // 5
    virtual Result SetZOrder(std::int32_t zOrder) = 0;                         // 6
    virtual std::int32_t GetZOrder() = 0;                                      // 7
    virtual Result MoveSiteToTop() = 0;                                        // 8
    virtual Result GetVideoSurface(VideoSurface** surface) = 0;                // 9
    virtual std::uint32_t GetNumberOfChildSites() = 0;                         // 10
    virtual Result AddPassiveSiteWatcher(PassiveSiteWatcher* watcher) = 0;     // 11
    virtual Result RemovePassiveSiteWatcher(PassiveSiteWatcher* watcher) = 0;  // 12
    virtual Result SetCursor(void* cursor, void** oldCursor) = 0;              // 13

protected:
    ~ExtendedSite() = default;
};

class SiteSupplier : public Unknown {
public:
    virtual Result SitesNeeded(std::uint32_t requestId, Values* properties) = 0;  // 3
    virtual Result SitesNotNeeded(std::uint32_t requestId) = 0;                   // 4
    virtual Result BeginChangeLayout() = 0;                                       // 5
    virtual Result DoneChangeLayout() = 0;                                        // 6

protected:
    ~SiteSupplier() = default;
};

class SiteManager : public Unknown {
public:
    virtual Result AddSite(Site* site) = 0;     // 3
    virtual Result RemoveSite(Site* site) = 0;  // 4

protected:
    ~SiteManager() = default;
};

class VideoSurface : public Unknown {
public:
    // 3: one picture; the rectangles say which part of it goes where.
    virtual Result Blit(const std::uint8_t* bits, const PictureHeader* header,
                        const Rect* destination, const Rect* source) = 0;
    virtual Result BeginOptimizedBlit(const PictureHeader* header) = 0;  // 4
    virtual Result OptimizedBlit(const std::uint8_t* bits, const Rect* destination,
                                 const Rect* source) = 0;               // 5
    virtual Result EndOptimizedBlit() = 0;                              // 6
    virtual Result GetOptimizedFormat(std::uint32_t* compression) = 0;  // 7
    virtual Result GetPreferredFormat(std::uint32_t* compression) = 0;  // 8

protected:
    ~VideoSurface() = default;
};

// The engine library's exports.
using CreateEngineFunction = Result (*)(Engine** engine);
using CloseEngineFunction = Result (*)(Engine* engine);
inline constexpr char kCreateEngineName[] = "CreateEngine";
inline constexpr char kCloseEngineName[] = "CloseEngine";

}  // namespace realengine
