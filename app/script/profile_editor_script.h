// The "edit-profile" lines of a scripted run, applied to the open profile
// editor as a user would work it:
//   edit-profile select N            show profile N (the profile spin)
//   edit-profile set LABEL<TAB>VALUE type VALUE into the field LABEL (Name,
//                                    Description, Comment, Width, Height,
//                                    Bitrate), or choose entry VALUE of the
//                                    list LABEL (Video Codec, Frame Size,
//                                    Framerate, Audio Format, Audio Bitrate,
//                                    Frequency, Channels, FileType)
//   edit-profile save|new|delete|reload|close   the editor's buttons
// ("edit-profile open" is the main window's button; the script runner
// handles it.)
#pragma once

#include <string>
#include <string_view>

class ProfileEditorModel;

struct EditorLineResult {
    std::string error;    // why the line could not be carried out, else ""
    std::string message;  // the text of the message box the editor showed, else ""
};

// `rest` is the line after "edit-profile ".
EditorLineResult RunProfileEditorLine(ProfileEditorModel& editor, std::string_view rest);
