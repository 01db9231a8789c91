// Where tool runs send their notifications: the window that receives the
// command message (WM_USER+100). The main window implements this; tests
// record what arrives.
//
// A notification is posted, not sent: PostCommand only queues it, and the
// target handles it later, when the program dispatches its pending messages
// (ProgramUi::DispatchPendingMessages, or its own event loop). A Qt window
// does that with QCoreApplication::postEvent or a queued
// QMetaObject::invokeMethod.
#pragma once

#include <cstdint>

// The message id of the command message, WM_USER+100.
inline constexpr unsigned kCommandMessage = 0x0400 + 100;
// wParam of the progress notification; lParam is 1..100 (percent), -2 (the
// tool failed), or -1 (a RealMedia job ended, never sent by a tool run).
inline constexpr unsigned kProgressNotification = 40004;
// Values of the progress notification besides 0..100 percent.
inline constexpr int kProgressJobFinished = -1;
inline constexpr int kProgressToolFailed = -2;

class CommandTarget {
public:
    virtual ~CommandTarget() = default;
    virtual void PostCommand(unsigned message, unsigned wParam, std::intptr_t lParam) = 0;
};
