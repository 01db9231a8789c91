#include "app/widgets/profile_editor.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QToolButton>

#include "ui/glyph_icons.h"
#include "ui/readable_text.h"
#include "ui/spin_arrows.h"

namespace {

constexpr int kRowHeight = 21;
constexpr int kRowStep = 27;
constexpr int kMargin = 12;
constexpr int kLabelWidth = 84;
constexpr int kFieldLeft = 100;
constexpr int kFieldRight = ProfileEditor::kWidth - kMargin;
constexpr int kSpinWidth = 18;
// The comment gives way to the file type for 3GP.
constexpr int kCommentShortening = 145;

// The video column on the left, the sound column on the right.
constexpr int kColumnsTop = 108;
constexpr int kVideoControlLeft = kFieldLeft;
constexpr int kVideoControlWidth = 140;
constexpr int kAudioLabelLeft = 270;
constexpr int kAudioControlLeft = 368;
constexpr int kAudioControlWidth = kFieldRight - kAudioControlLeft;

constexpr int kBitrateUnitWidth = 48;
const char* const kBitrateUnit = "kbit/s";

// The buttons: 64 x 21, 10 pixels from the right and bottom edges and from
// each other; the profile's icon buttons 21 x 21.
constexpr int kButtonWidth = 64;
constexpr int kButtonGap = 10;
constexpr int kBottomRow = ProfileEditor::kHeight - kButtonGap - kRowHeight;
constexpr int kIconSize = 21;

QString ToQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::size_t Slot(EditorField field) { return static_cast<std::size_t>(field); }
std::size_t Slot(EditorList list) { return static_cast<std::size_t>(list); }

QString SpinName(EditorSpin spin) {
    switch (spin) {
        case EditorSpin::kProfile:
            return "Profile spin";
        case EditorSpin::kWidth:
            return ToQString(LabelOf(EditorField::kWidth)) + " spin";
        case EditorSpin::kHeight:
            return ToQString(LabelOf(EditorField::kHeight)) + " spin";
        case EditorSpin::kBitrate:
            return ToQString(LabelOf(EditorField::kBitrate)) + " spin";
    }
    return {};
}

int RowTop(int row) { return kColumnsTop + row * kRowStep; }

void AddSeparator(QWidget* parent, int y) {
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setGeometry(kMargin, y, kFieldRight - kMargin, 2);
}

}  // namespace

ProfileEditor::ProfileEditor(ProfileEditorModel& model, QWidget* parent)
    : QDialog(parent), model_(model) {
    setWindowTitle(ToQString(model_.Title()));
    setFixedSize(kWidth, kHeight);
    setStyleSheet(kReadableListsStyleSheet);
    CreateControls();
    UseReadableDropDowns(this);
    model_.SetView(this);
    Sync();
    // Texts too wide for their places (a large desktop font) get a smaller one.
    ensurePolished();
    for (QLabel* label : findChildren<QLabel*>()) FitCaption(label);
    for (QPushButton* button : findChildren<QPushButton*>()) FitCaption(button);
}

ProfileEditor::~ProfileEditor() { model_.SetView(nullptr); }

std::string ProfileEditor::AskQuestion(const std::string& text) {
    const auto answer = QMessageBox::question(
        this, windowTitle(), QString::fromStdString(text),
        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
    if (answer == QMessageBox::Yes) return "Yes";
    if (answer == QMessageBox::No) return "No";
    return "Cancel";
}

void ProfileEditor::CreateControls() {
    const int textRight = kFieldRight - kFieldLeft;
    AddField(EditorField::kName, kFieldLeft, kMargin, textRight);
    AddField(EditorField::kDescription, kFieldLeft, kMargin + kRowStep, textRight);
    const int commentWidth = model_.FileTypeVisible() ? textRight - kCommentShortening : textRight;
    AddField(EditorField::kComment, kFieldLeft, kMargin + 2 * kRowStep, commentWidth);
    // In the room the comment left: the file type, for 3GP only.
    const int fileTypeLabelLeft = kFieldLeft + commentWidth + kButtonGap;
    const int fileTypeLeft = fileTypeLabelLeft + 62;
    AddList(EditorList::kFileType, fileTypeLabelLeft, fileTypeLeft, kMargin + 2 * kRowStep,
            kFieldRight - fileTypeLeft);
    lists_[Slot(EditorList::kFileType)]->setVisible(model_.FileTypeVisible());
    listLabels_[Slot(EditorList::kFileType)]->setVisible(model_.FileTypeVisible());

    AddSeparator(this, kColumnsTop - 12);
    AddList(EditorList::kVideoCodec, kMargin, kVideoControlLeft, RowTop(0), kVideoControlWidth);
    AddList(EditorList::kFrameSize, kMargin, kVideoControlLeft, RowTop(1), kVideoControlWidth);
    const int numberWidth = kVideoControlWidth - kSpinWidth;
    AddField(EditorField::kWidth, kVideoControlLeft, RowTop(2), numberWidth);
    widthSpin_ = AddSpin(EditorSpin::kWidth, kVideoControlLeft + numberWidth, RowTop(2));
    AddField(EditorField::kHeight, kVideoControlLeft, RowTop(3), numberWidth);
    heightSpin_ = AddSpin(EditorSpin::kHeight, kVideoControlLeft + numberWidth, RowTop(3));
    // The bit rate is followed by its unit.
    const int bitrateWidth = numberWidth - kBitrateUnitWidth;
    AddField(EditorField::kBitrate, kVideoControlLeft, RowTop(4), bitrateWidth);
    bitrateSpin_ = AddSpin(EditorSpin::kBitrate, kVideoControlLeft + bitrateWidth, RowTop(4));
    auto* unit = new QLabel(kBitrateUnit, this);
    unit->setGeometry(kVideoControlLeft + bitrateWidth + kSpinWidth + 4, RowTop(4),
                      kAudioLabelLeft - 4 - (kVideoControlLeft + bitrateWidth + kSpinWidth + 4),
                      kRowHeight);
    AddList(EditorList::kFrameRate, kMargin, kVideoControlLeft, RowTop(5), kVideoControlWidth);

    AddList(EditorList::kAudioFormat, kAudioLabelLeft, kAudioControlLeft, RowTop(0),
            kAudioControlWidth);
    AddList(EditorList::kAudioBitrate, kAudioLabelLeft, kAudioControlLeft, RowTop(1),
            kAudioControlWidth);
    AddList(EditorList::kFrequency, kAudioLabelLeft, kAudioControlLeft, RowTop(2),
            kAudioControlWidth);
    AddList(EditorList::kChannels, kAudioLabelLeft, kAudioControlLeft, RowTop(3),
            kAudioControlWidth);
    AddSeparator(this, kBottomRow - 14);

    // Typed numbers may lie outside the spins' ranges and may be negative (the
    // model refuses those with a message); anything else cannot be typed.
    auto* numbers = new QRegularExpressionValidator(QRegularExpression("[+-]?[0-9]{0,9}"), this);
    for (EditorField field : {EditorField::kWidth, EditorField::kHeight, EditorField::kBitrate}) {
        fields_[Slot(field)]->setValidator(numbers);
        fields_[Slot(field)]->setAlignment(Qt::AlignRight);
    }

    auto* profileLabel = new QLabel("Profile", this);
    profileLabel->setGeometry(kMargin, kBottomRow, 44, kRowHeight);
    profileText_ = new QLineEdit(this);
    profileText_->setObjectName("Profile");
    profileText_->setReadOnly(true);
    profileText_->setFocusPolicy(Qt::NoFocus);
    profileText_->setGeometry(kMargin + 48, kBottomRow, 90, kRowHeight);
    profileSpin_ = AddSpin(EditorSpin::kProfile, profileText_->geometry().right() + 1, kBottomRow);
    const int newLeft = profileSpin_->geometry().right() + 1 + 10;
    AddIconButton(kCmdNewProfile, Glyph::kAddFiles, "New Profile", newLeft);
    AddIconButton(kCmdDeleteProfile, Glyph::kDeleteFile, "Delete Profile", newLeft + kIconSize + 9);

    const int closeLeft = kWidth - kButtonGap - kButtonWidth;
    AddButton(kCmdCloseEditor, "Close", "Close Profile Editor", closeLeft);
    const int reloadLeft = closeLeft - kButtonGap - kButtonWidth;
    AddButton(kCmdReloadProfiles, "Reload", "Reload Profiles", reloadLeft);
    AddButton(kCmdSaveProfiles, "Save", "Save Profiles", reloadLeft - kButtonGap - kButtonWidth);
}

void ProfileEditor::AddField(EditorField field, int x, int y, int width) {
    auto* label = new QLabel(ToQString(LabelOf(field)), this);
    label->setGeometry(kMargin, y, kLabelWidth, kRowHeight);
    auto* edit = new QLineEdit(this);
    edit->setObjectName(label->text());
    edit->setGeometry(x, y, width, kRowHeight);
    connect(edit, &QLineEdit::textEdited, this, [this, field](const QString& text) {
        model_.SetText(field, text.toStdString());
        Sync();
    });
    fields_[Slot(field)] = edit;
}

void ProfileEditor::AddList(EditorList list, int labelLeft, int x, int y, int width) {
    auto* label = new QLabel(ToQString(LabelOf(list)), this);
    label->setGeometry(labelLeft, y, x - labelLeft - 4, kRowHeight);
    auto* box = new QComboBox(this);
    box->setObjectName(label->text());
    box->setGeometry(x, y, width, kRowHeight);
    for (const std::string& entry : EntriesOf(list)) box->addItem(QString::fromStdString(entry));
    box->setMaxVisibleItems(16);
    connect(box, &QComboBox::activated, this, [this, list](int index) {
        model_.SelectEntry(list, index);
        Sync();
    });
    lists_[Slot(list)] = box;
    listLabels_[Slot(list)] = label;
}

SpinArrows* ProfileEditor::AddSpin(EditorSpin spin, int x, int y) {
    auto* arrows = new SpinArrows(this);
    arrows->setObjectName(SpinName(spin));
    arrows->setGeometry(x, y, kSpinWidth, kRowHeight);
    const SpinRange range = RangeOf(spin);
    arrows->SetRange(range.minimum, range.maximum);
    arrows->OnReleased([this, spin](int position) {
        model_.ReleaseSpin(spin, position);
        Sync();
    });
    return arrows;
}

void ProfileEditor::AddButton(int commandId, const QString& caption, const QString& tooltip,
                              int x) {
    auto* button = new QPushButton(caption, this);
    button->setGeometry(x, kBottomRow, kButtonWidth, kRowHeight);
    button->setToolTip(tooltip);
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, [this, commandId] { Forward(commandId); });
}

void ProfileEditor::AddIconButton(int commandId, Glyph glyph, const QString& tooltip, int x) {
    auto* button = new QToolButton(this);
    button->setIcon(GlyphIcon(glyph, palette().color(QPalette::ButtonText), 16));
    button->setGeometry(x, kBottomRow, kIconSize, kIconSize);
    button->setToolTip(tooltip);
    connect(button, &QToolButton::clicked, this, [this, commandId] { Forward(commandId); });
}

void ProfileEditor::Sync() {
    for (EditorField field : kEditorFields) {
        const QString text = QString::fromStdString(model_.Text(field));
        QLineEdit* edit = fields_[Slot(field)];
        // Setting the same text again would move the cursor of a field being typed in.
        if (edit->text() != text) edit->setText(text);
    }
    for (EditorList list : kEditorLists)
        lists_[Slot(list)]->setCurrentIndex(model_.Selection(list));
    lists_[Slot(EditorList::kFrequency)]->setEnabled(model_.FrequencyEnabled());
    profileText_->setText(QString::fromStdString(model_.ProfileText()));
    profileSpin_->SetPosition(model_.SpinPosition(EditorSpin::kProfile));
    widthSpin_->SetPosition(model_.SpinPosition(EditorSpin::kWidth));
    heightSpin_->SetPosition(model_.SpinPosition(EditorSpin::kHeight));
    bitrateSpin_->SetPosition(model_.SpinPosition(EditorSpin::kBitrate));
}

void ProfileEditor::reject() { Forward(kCmdCloseEditor); }

void ProfileEditor::Forward(int commandId) {
    const std::string message = model_.OnCommand(commandId);
    Sync();
    if (!message.empty()) {
        QMessageBox::warning(this, windowTitle(), QString::fromStdString(message));
    }
    if (model_.Closed()) done(QDialog::Accepted);
}
