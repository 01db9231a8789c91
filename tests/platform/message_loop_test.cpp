#include "platform/message_loop.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/message_box.h"

namespace {

using namespace std::chrono_literals;
using platform::DispatchPendingMessages;
using platform::ModalLoop;

// Records what reaches it as "m<message>:<wParam>:<lParam>" and "t<id>", and
// runs an action after each, when one is set.
class RecordingTarget : public platform::MessageTarget {
public:
    std::vector<std::string> seen;
    std::function<void(const std::string&)> then;

protected:
    void OnMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override {
        Note("m" + std::to_string(message) + ":" + std::to_string(wParam) + ":" +
             std::to_string(lParam));
    }
    void OnTimer(unsigned id) override { Note("t" + std::to_string(id)); }

private:
    void Note(const std::string& what) {
        seen.push_back(what);
        if (then) then(what);
    }
};

TEST(MessageLoopTest, PostedMessagesArriveInOrderOnlyWhenDispatched) {
    RecordingTarget target;
    target.Post(platform::kUserMessage + 100, 120, 5);
    target.Post(platform::kUserMessage + 100, 120, -1);
    EXPECT_TRUE(target.seen.empty());
    EXPECT_EQ(DispatchPendingMessages(), 2);
    EXPECT_EQ(target.seen, (std::vector<std::string>{"m1124:120:5", "m1124:120:-1"}));
    EXPECT_EQ(DispatchPendingMessages(), 0);
}

TEST(MessageLoopTest, WhatAHandlerPostsWaitsForTheNextRound) {
    RecordingTarget target;
    target.then = [&](const std::string& what) {
        if (what == "m1:0:0") target.Post(2, 0, 0);
    };
    target.Post(1, 0, 0);
    EXPECT_EQ(DispatchPendingMessages(), 1);
    EXPECT_EQ(DispatchPendingMessages(), 1);
    EXPECT_EQ(target.seen, (std::vector<std::string>{"m1:0:0", "m2:0:0"}));
}

TEST(MessageLoopTest, ATimerTicksOncePerDispatchAndStopsWhenKilled) {
    RecordingTarget target;
    target.SetTimer(1004, 20ms);
    EXPECT_TRUE(target.HasTimer(1004));
    EXPECT_EQ(DispatchPendingMessages(), 0);
    // Several periods missed make one tick, not several.
    std::this_thread::sleep_for(70ms);
    EXPECT_EQ(DispatchPendingMessages(), 1);
    EXPECT_EQ(DispatchPendingMessages(), 0);
    platform::WaitForMessages(1000ms);
    EXPECT_EQ(DispatchPendingMessages(), 1);
    target.KillTimer(1004);
    EXPECT_FALSE(target.HasTimer(1004));
    std::this_thread::sleep_for(40ms);
    EXPECT_EQ(DispatchPendingMessages(), 0);
    EXPECT_EQ(target.seen, (std::vector<std::string>{"t1004", "t1004"}));
}

TEST(MessageLoopTest, AModalLoopEndsOnItsFlagAndLeavesTheRestWaiting) {
    RecordingTarget target;
    ModalLoop loop;
    target.then = [&](const std::string& what) {
        if (what == "t1") loop.End(7);
    };
    target.Post(1, 0, 0);
    target.SetTimer(1, 30ms);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(loop.Run(), 7);
    EXPECT_GE(std::chrono::steady_clock::now() - started, 30ms);
    EXPECT_EQ(target.seen, (std::vector<std::string>{"m1:0:0", "t1"}));

    // Ended from the first of two messages, it handles only that one.
    ModalLoop second;
    target.KillTimer(1);
    target.seen.clear();
    target.then = [&](const std::string&) { second.End(1); };
    target.Post(2, 0, 0);
    target.Post(3, 0, 0);
    EXPECT_EQ(second.Run(), 1);
    EXPECT_EQ(target.seen, (std::vector<std::string>{"m2:0:0"}));
    EXPECT_EQ(DispatchPendingMessages(), 1);
}

TEST(MessageLoopTest, ModalLoopsNestAndLongWorkDispatchesFromInside) {
    RecordingTarget target;
    ModalLoop outer;
    ModalLoop inner;
    target.then = [&](const std::string& what) {
        if (what == "m1:0:0") {
            // Long work that dispatches as it goes: the cancel message posted
            // before it started reaches the target meanwhile.
            target.Post(2, 0, 0);
            while (target.seen.back() != "m2:0:0") DispatchPendingMessages();
            target.Post(3, 0, 0);
            EXPECT_EQ(inner.Run(), 30);
            outer.End(10);
        } else if (what == "m3:0:0") {
            inner.End(30);
        }
    };
    target.Post(1, 0, 0);
    EXPECT_EQ(outer.Run(), 10);
    EXPECT_EQ(target.seen, (std::vector<std::string>{"m1:0:0", "m2:0:0", "m3:0:0"}));
}

TEST(MessageLoopTest, OtherThreadsPostAndWakeTheWaitingThread) {
    RecordingTarget target;
    ModalLoop loop;
    target.then = [&](const std::string& what) {
        if (what == "m9:3:4") loop.End(1);
    };
    std::thread poster([&] {
        std::this_thread::sleep_for(50ms);
        target.Post(9, 3, 4);
    });
    const auto started = std::chrono::steady_clock::now();
    loop.Run();
    poster.join();
    // Woken by the post, not by the loop's idle wait.
    EXPECT_LT(std::chrono::steady_clock::now() - started, 400ms);
}

TEST(MessageLoopTest, EachThreadHasItsOwnQueueAndAGoneTargetGetsNothing) {
    RecordingTarget here;
    bool otherSaw = false;
    std::thread other([&] {
        RecordingTarget there;
        there.Post(5, 0, 0);
        here.Post(6, 0, 0);
        DispatchPendingMessages();
        otherSaw = there.seen.size() == 1 && here.seen.empty();
    });
    other.join();
    EXPECT_TRUE(otherSaw);
    EXPECT_EQ(DispatchPendingMessages(), 1);
    EXPECT_EQ(here.seen, (std::vector<std::string>{"m6:0:0"}));

    auto gone = std::make_unique<RecordingTarget>();
    gone->Post(1, 0, 0);
    gone->SetTimer(2, 1ms);
    gone.reset();
    std::this_thread::sleep_for(5ms);
    EXPECT_EQ(DispatchPendingMessages(), 0);
}

// A library loaded on its own (as the RealMedia engine is) makes a target and
// posts to it; only the queue of this process's thread can deliver it.
TEST(MessageLoopTest, ALibraryLoadedAtRunTimeSharesTheThreadsQueue) {
    void* library = dlopen(ZARVO_TEST_FOLDER "libmessage_loop_peer.so", RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    using PostFunction = void (*)();
    using CountFunction = int (*)();
    auto post = reinterpret_cast<PostFunction>(dlsym(library, "PeerPostToItself"));
    auto count = reinterpret_cast<CountFunction>(dlsym(library, "PeerMessagesReceived"));
    auto release = reinterpret_cast<PostFunction>(dlsym(library, "PeerRelease"));
    ASSERT_TRUE(post && count && release);
    post();
    EXPECT_EQ(count(), 0);
    EXPECT_EQ(DispatchPendingMessages(), 2);  // the message and the timer
    EXPECT_EQ(count(), 2);
    release();
    dlclose(library);
}

class RecordingPresenter : public platform::MessagePresenter {
public:
    void Show(const std::string& text, const std::string& caption,
              platform::MessageBoxIcon icon) override {
        boxes.push_back(caption + "|" + text + "|" + std::to_string(static_cast<int>(icon)));
    }
    std::vector<std::string> boxes;
};

// Picks the choice of a given name, whatever was selected.
class AnsweringPresenter : public RecordingPresenter {
public:
    explicit AnsweringPresenter(std::string pick) : pick_(std::move(pick)) {}
    platform::ChoiceAnswer Ask(const platform::ChoiceQuestion& question) override {
        asked.push_back(question.caption + "|" + question.text + "|" +
                        question.choices.at(question.initial));
        for (std::size_t i = 0; i < question.choices.size(); ++i) {
            if (question.choices[i] == pick_) return {platform::ChoiceOutcome::kChosen, i};
        }
        return {platform::ChoiceOutcome::kChosen, question.choices.size()};
    }
    std::vector<std::string> asked;

private:
    std::string pick_;
};

TEST(MessageBoxTest, QuestionsGoToThePresenterAndNobodyIsAskedWithoutOne) {
    const platform::ChoiceQuestion question{"Which one?", "Korvan", {"first", "second"}, 0};
    EXPECT_EQ(platform::AskChoice(question).outcome, platform::ChoiceOutcome::kNobodyToAsk);
    // One that only shows boxes has nobody to ask either.
    RecordingPresenter boxesOnly;
    platform::InstallMessagePresenter(&boxesOnly);
    EXPECT_EQ(platform::AskChoice(question).outcome, platform::ChoiceOutcome::kNobodyToAsk);

    AnsweringPresenter presenter("second");
    platform::InstallMessagePresenter(&presenter);
    const platform::ChoiceAnswer answer = platform::AskChoice(question);
    EXPECT_EQ(answer.outcome, platform::ChoiceOutcome::kChosen);
    EXPECT_EQ(answer.index, 1u);
    EXPECT_EQ(presenter.asked, (std::vector<std::string>{"Korvan|Which one?|first"}));
    // An answer that is not one of the choices counts as none.
    AnsweringPresenter wrong("third");
    platform::InstallMessagePresenter(&wrong);
    EXPECT_EQ(platform::AskChoice(question).outcome, platform::ChoiceOutcome::kCancelled);
    // Nothing to choose from: nobody is asked.
    EXPECT_EQ(platform::AskChoice({"Which one?", "Korvan", {}, 0}).outcome,
              platform::ChoiceOutcome::kNobodyToAsk);
    EXPECT_EQ(wrong.asked.size(), 1u);
    platform::InstallMessagePresenter(nullptr);
}

TEST(MessageBoxTest, BoxesGoToTheInstalledPresenter) {
    RecordingPresenter presenter;
    platform::MessagePresenter* previous = platform::InstallMessagePresenter(&presenter);
    platform::ShowMessageBox("Could not initialize dovarez.dll.", "Korvan",
                             platform::MessageBoxIcon::kError);
    EXPECT_EQ(platform::InstallMessagePresenter(previous), &presenter);
    EXPECT_EQ(presenter.boxes,
              (std::vector<std::string>{"Korvan|Could not initialize dovarez.dll.|3"}));
}

}  // namespace
