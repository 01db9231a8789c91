// The "burn" lines of a scripted run, applied to the open burning window as
// a user would work it:
//   burn device N        chooses entry N of the device box
//   burn label TEXT      types TEXT as the volume label
//   burn finalize 0|1    sets "Finalize" (a click, when it differs)
//   burn eject 0|1       sets "Eject After Burn" the same way
//   burn now             "Burn Now"
//   burn cancel          "Cancel"
//   burn wait            waits until the burn has ended (or the window has
//                        closed); the scan of the files needs no wait, the
//                        window opens only once it has ended
#pragma once

#include <functional>
#include <string>
#include <string_view>

class BurningWindowModel;

// `rest` is the line after "burn "; `waitForMessages` dispatches the
// program's messages once. Returns why the line could not be carried out,
// or "".
std::string RunBurningWindowLine(BurningWindowModel& window, std::string_view rest,
                                 const std::function<void()>& waitForMessages);
