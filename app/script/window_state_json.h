// The main window's state as one JSON object, for the automation script and
// anyone watching a scripted run.
#pragma once

#include <string>
#include <vector>

class ActivityLog;
class AudioStreamDialogModel;
class DiscWriterWizardModel;
class BurningWindowModel;
class MainWindowModel;
class ProfileEditorModel;

// What the script adds to the model's own state.
struct ScriptRecord {
    std::string error;                  // the last script error, else empty
    std::vector<std::string> messages;  // texts of the dialogs answered so far
    int width = 0;                      // the window's size as shown
    int height = 0;
    // The dialogs open at the moment, else null.
    const ProfileEditorModel* profileEditor = nullptr;
    const AudioStreamDialogModel* audioDialog = nullptr;
    const DiscWriterWizardModel* wizard = nullptr;
    // The disc-writer wizard as it was when it closed (WizardJson), so that
    // a script can read what its last build did.
    std::string closedWizardJson;
    // The burning window while it is open; once it has closed, its last
    // state (JSON), so that a script can read how it ended.
    const BurningWindowModel* burningWindow = nullptr;
    std::string closedBurningWindowJson;
};

// The burning window as the user sees it.
std::string BurningWindowJson(const BurningWindowModel& window, bool open);

std::string WindowStateJson(const MainWindowModel& model, const ScriptRecord& record,
                            const ActivityLog& log);

// The disc-writer wizard as a JSON object; "open" tells whether it still is.
std::string WizardJson(const DiscWriterWizardModel& wizard);

// A JSON string literal; bytes that are not UTF-8 become U+FFFD.
std::string JsonString(const std::string& text);
