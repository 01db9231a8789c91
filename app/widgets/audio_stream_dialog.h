// "Select Audio Stream": a modal dialog that draws an AudioStreamDialogModel
// (the list of audio stream lines, "Play" and "Close") and hands it the
// user's choices.
#pragma once

#include <QDialog>

#include "app/tools/audio_stream_dialog_model.h"

class QListWidget;

class AudioStreamDialog : public QDialog {
public:
    explicit AudioStreamDialog(AudioStreamDialogModel& model, QWidget* parent = nullptr);

    static constexpr int kWidth = 420;
    static constexpr int kHeight = 200;

protected:
    // Escape and the window manager's close both mean "Close".
    void reject() override;

private:
    void Play();

    AudioStreamDialogModel& model_;
    QListWidget* list_;
};
