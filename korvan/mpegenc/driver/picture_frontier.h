// How far step 1 has got, for the sound coded alongside it on another
// thread: how many pictures it has fetched (every one of them is in the
// stream, as a limit or a cancel can only stop it at a later picture), and,
// once it knows, where the pictures end. The sound of a picture is pulled
// only once its picture is fetched, so the sound ends where the pictures
// end, wherever a limit cuts them.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

namespace korvan {

class PictureFrontier {
public:
    // Step 1: pictures 0 .. count - 1 are fetched.
    void Fetched(int64_t count);
    // Step 1: the stream holds `count` pictures, no more.
    void Ends(int64_t count);
    // Step 1 failed or was cancelled: nothing more comes.
    void Abandon();

    struct State {
        int64_t fetched = 0;
        bool ended = false;  // `fetched` is where the pictures end
        bool abandoned = false;
    };
    // Waits until `enough(fetched)` holds, the pictures end or they are
    // abandoned.
    State WaitUntil(const std::function<bool(int64_t fetched)>& enough) const;
    bool Abandoned() const;

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    State state_;
};

}  // namespace korvan
