#include "app/widgets/audio_stream_dialog.h"

#include <QApplication>
#include <QListWidget>
#include <QPushButton>

namespace {

// Both buttons are 64 x 21, 20 pixels above the bottom edge and 20 pixels
// either side of the centre.
constexpr int kButtonWidth = 64;
constexpr int kButtonHeight = 21;
constexpr int kButtonGap = 20;
constexpr int kButtonTop = AudioStreamDialog::kHeight - kButtonGap - kButtonHeight;
constexpr int kMargin = 10;

}  // namespace

AudioStreamDialog::AudioStreamDialog(AudioStreamDialogModel& model, QWidget* parent)
    : QDialog(parent), model_(model), list_(new QListWidget(this)) {
    setWindowTitle("Select Audio Stream");
    setFixedSize(kWidth, kHeight);
    list_->setGeometry(kMargin, kMargin, kWidth - 2 * kMargin, kButtonTop - 2 * kMargin);
    for (const std::string& line : model_.StreamLines()) {
        list_->addItem(QString::fromStdString(line));
    }
    list_->setCurrentRow(model_.SelectedIndex());
    connect(list_, &QListWidget::currentRowChanged, this, [this](int row) { model_.Select(row); });

    auto* play = new QPushButton("Play", this);
    play->setGeometry(kWidth / 2 - kButtonGap - kButtonWidth, kButtonTop, kButtonWidth,
                      kButtonHeight);
    play->setAutoDefault(false);
    connect(play, &QPushButton::clicked, this, [this] { Play(); });
    auto* close = new QPushButton("Close", this);
    close->setGeometry(kWidth / 2 + kButtonGap, kButtonTop, kButtonWidth, kButtonHeight);
    close->setAutoDefault(false);
    connect(close, &QPushButton::clicked, this, [this] { reject(); });
}

void AudioStreamDialog::reject() {
    model_.Close();
    done(QDialog::Accepted);
}

void AudioStreamDialog::Play() {
    model_.Select(list_->currentRow());
    // mplayer plays to the end before Play returns.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    model_.Play();
    QApplication::restoreOverrideCursor();
}
