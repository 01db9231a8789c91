// The disc-writer wizard on Qt: the kind of disc, the titles, the DVD menu's
// pictures and background, and the page that creates the disc. It draws a
// DiscWriterWizardModel and forwards the user's choices to it; it holds no
// state of its own beyond the widgets.
#pragma once

#include <QImage>
#include <QTimer>
#include <QWizard>
#include <array>
#include <functional>

class DiscWriterWizardModel;
class QGridLayout;
class QWizardPage;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QRadioButton;

class DiscWriterWizard : public QWizard {
public:
    DiscWriterWizard(DiscWriterWizardModel& model, QWidget* parent = nullptr);
    ~DiscWriterWizard() override;

    // Brings every widget in line with the model.
    void Sync();

    // The menu preview of the pictures page, at the menu's full size.
    QImage MenuPreview() const;

    int nextId() const override;
    // A page whose model says it is not complete is not left by Next.
    bool validateCurrentPage() override;

protected:
    // Cancel, Close, Escape and the window's close button: the model
    // decides, since a running build must stop first.
    void reject() override;
    void accept() override;

private:
    // What the buttons beside a list of files do.
    struct FileListActions {
        std::function<void()> add;
        std::function<void()> remove;
        std::function<void()> up;
        std::function<void()> down;
        std::function<void(int)> select;
    };
    // The list with its "Add", "Remove File(s)", "Move up" and "Move down"
    // buttons at the top of the page's grid.
    QListWidget* AddFileList(QWizardPage* page, QGridLayout* layout, const QString& addCaption,
                             const FileListActions& actions);
    QWizardPage* MakeKindPage();
    QWizardPage* MakeTitlesPage();
    QWizardPage* MakeMenuPage();
    QWizardPage* MakeCreatePage();
    void ShowMenuPreview();

    DiscWriterWizardModel& model_;
    QTimer timer_;
    bool syncing_ = false;

    std::array<QRadioButton*, 3> kinds_{};
    QListWidget* titles_ = nullptr;
    QListWidget* pictures_ = nullptr;
    QLineEdit* background_ = nullptr;
    QLabel* refusedTitles_ = nullptr;
    QLabel* refusedPictures_ = nullptr;
    QLabel* preview_ = nullptr;
    // What the preview was drawn from, so that it is drawn again only when
    // the titles, the pictures or the background change.
    std::string previewKey_;
    QImage previewImage_;
    QLabel* summary_ = nullptr;
    QLabel* status_ = nullptr;
    QLabel* elapsed_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QPushButton* create_ = nullptr;
    QPushButton* stop_ = nullptr;
};
