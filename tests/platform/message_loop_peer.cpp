// A library that uses the message loop on its own, loaded at run time by the
// message loop test as the RealMedia engine is loaded by Korvan.
#include "platform/message_loop.h"

namespace {

class PeerTarget : public platform::MessageTarget {
public:
    int received = 0;

protected:
    void OnMessage(unsigned, std::uintptr_t, std::intptr_t) override { ++received; }
    void OnTimer(unsigned id) override {
        ++received;
        KillTimer(id);
    }
};

PeerTarget* peer = nullptr;

}  // namespace

extern "C" __attribute__((visibility("default"))) void PeerPostToItself() {
    if (!peer) peer = new PeerTarget;
    peer->Post(platform::kUserMessage, 0, 0);
    peer->SetTimer(1, std::chrono::milliseconds(0));
}

extern "C" __attribute__((visibility("default"))) int PeerMessagesReceived() {
    return peer ? peer->received : -1;
}

extern "C" __attribute__((visibility("default"))) void PeerRelease() {
    delete peer;
    peer = nullptr;
}
