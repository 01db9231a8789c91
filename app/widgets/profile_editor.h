// The profile editor: a modal dialog that draws a ProfileEditorModel and
// hands it the user's edits and button clicks. It holds no state of its own
// beyond the widgets.
#pragma once

#include <QDialog>
#include <array>

#include "app/profiles/profile_editor_model.h"

class QComboBox;
class QLabel;
class QLineEdit;
class SpinArrows;
enum class Glyph;

class ProfileEditor : public QDialog, private ProfileEditorView {
public:
    explicit ProfileEditor(ProfileEditorModel& model, QWidget* parent = nullptr);
    ~ProfileEditor() override;

    static constexpr int kWidth = 520;
    static constexpr int kHeight = 330;

    // Brings every widget in line with the model.
    void Sync();

protected:
    // Escape and the window manager's close both mean "Close".
    void reject() override;

private:
    // ProfileEditorView
    std::string AskQuestion(const std::string& text) override;

    void CreateControls();
    void AddField(EditorField field, int x, int y, int width);
    void AddList(EditorList list, int labelLeft, int x, int y, int width);
    SpinArrows* AddSpin(EditorSpin spin, int x, int y);
    void AddButton(int commandId, const QString& caption, const QString& tooltip, int x);
    void AddIconButton(int commandId, Glyph glyph, const QString& tooltip, int x);
    void Forward(int commandId);

    ProfileEditorModel& model_;
    std::array<QLineEdit*, kEditorFields.size()> fields_{};
    std::array<QComboBox*, kEditorLists.size()> lists_{};
    std::array<QLabel*, kEditorLists.size()> listLabels_{};
    QLineEdit* profileText_ = nullptr;
    SpinArrows* profileSpin_ = nullptr;
    SpinArrows* widthSpin_ = nullptr;
    SpinArrows* heightSpin_ = nullptr;
    SpinArrows* bitrateSpin_ = nullptr;
};
