#include "app/widgets/disc_writer_wizard.h"

#include <QApplication>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <cstring>
#include <functional>

#include "app/disc/disc_writer_wizard_model.h"
#include "ui/file_dialogs.h"
#include "ui/readable_text.h"

namespace {

enum Page { kKindPage, kTitlesPage, kMenuPage, kCreatePage };

constexpr std::string_view kOpenFilesTitle = "Open Video Files";
constexpr std::string_view kOpenPicturesTitle = "Open Image Files";
constexpr int kMinimumWidth = 680;
constexpr int kMinimumHeight = 480;
// What the wizard's frame and a page's margins take beside the page's layout.
constexpr int kPageMargins = 60;
// The preview shows the 720 x 480 menu at a third of its size.
constexpr int kPreviewWidth = kMenuWidth / 3;
constexpr int kPreviewHeight = kMenuHeight / 3;

// A page that lets the wizard go on only when the model says so.
class CheckedPage : public QWizardPage {
public:
    explicit CheckedPage(std::function<bool()> complete) : complete_(std::move(complete)) {}
    bool isComplete() const override { return complete_(); }
    void Recheck() { emit completeChanged(); }

private:
    std::function<bool()> complete_;
};

QImage ToQImage(const Picture& picture) {
    QImage image(picture.Width(), picture.Height(), QImage::Format_RGB888);
    for (int y = 0; y < picture.Height(); ++y) {
        std::memcpy(image.scanLine(y), picture.Row(y),
                    static_cast<std::size_t>(picture.Width()) * 3);
    }
    return image;
}

QString Lines(const std::vector<std::string>& texts) {
    QStringList lines;
    for (const std::string& text : texts) lines << QString::fromStdString(text);
    return lines.join('\n');
}
constexpr std::array<FileFilter, 2> kTitleFilters = {{
    {"MPEG Files (*.MPG,*.MPEG,*.DAT)", "*.mpg;*.mpeg;*.dat"},
    {"ALL", "*.*"},
}};
constexpr std::array<FileFilter, 2> kPictureFilters = {{
    {"Image Files (*.BMP,*.JPG,*.JPEG)", "*.bmp;*.jpg;*.jpeg"},
    {"ALL", "*.*"},
}};
constexpr std::array<FileFilter, 3> kBackgroundFilters = {{
    {"Image Files (*.bmp, *.jpg)", "*.bmp;*.jpg"},
    {"BMP Files (*.bmp)", "*.bmp"},
    {"JPEG Files (*.jpg)", "*.jpg"},
}};

QString ToQString(const std::string& text) { return QString::fromStdString(text); }

std::vector<std::string> ToPaths(const QStringList& list) {
    std::vector<std::string> paths;
    for (const QString& path : list) paths.push_back(path.toStdString());
    return paths;
}

void Fill(QListWidget* list, const std::vector<std::string>& texts, int selected) {
    QStringList shown;
    for (int i = 0; i < list->count(); ++i) shown << list->item(i)->text();
    QStringList wanted;
    for (const std::string& text : texts) wanted << ToQString(text);
    if (shown != wanted) {
        list->clear();
        // Long paths keep their start and their file name; the tooltip has all.
        for (const QString& text : wanted) (new QListWidgetItem(text, list))->setToolTip(text);
    }
    list->setCurrentRow(selected);
}

QPushButton* Button(const QString& caption, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setAutoDefault(false);
    return button;
}

QString Clock(int seconds) {
    return QString::asprintf("%02d:%02d:%02d", seconds / 3600, seconds % 3600 / 60, seconds % 60);
}

}  // namespace

DiscWriterWizard::DiscWriterWizard(DiscWriterWizardModel& model, QWidget* parent)
    : QWizard(parent), model_(model) {
    setWindowTitle("Zarvo Video Disc Writer");
    setWizardStyle(QWizard::ClassicStyle);
    setOption(QWizard::NoBackButtonOnStartPage);
    setOption(QWizard::NoDefaultButton);
    // The last page creates the disc with its own button; Finish only closes.
    setButtonText(QWizard::FinishButton, "Close");
    setPage(kKindPage, MakeKindPage());
    setPage(kTitlesPage, MakeTitlesPage());
    setPage(kMenuPage, MakeMenuPage());
    setPage(kCreatePage, MakeCreatePage());
    // Wide enough for every page's controls in the desktop's font.
    int pagesWidth = 0;
    for (const int id : pageIds()) {
        pagesWidth = std::max(pagesWidth, page(id)->layout()->minimumSize().width());
    }
    setMinimumSize(std::max(kMinimumWidth, pagesWidth + kPageMargins), kMinimumHeight);
    setStyleSheet(kReadableListsStyleSheet);

    model_.SetChangedHandler([this] { Sync(); });
    connect(&timer_, &QTimer::timeout, this, [this] { model_.OnTimer(); });
    timer_.start(kWizardTimerMs);
    connect(this, &QWizard::currentIdChanged, this, [this] { Sync(); });
    Sync();
}

DiscWriterWizard::~DiscWriterWizard() { model_.SetChangedHandler({}); }

QWizardPage* DiscWriterWizard::MakeKindPage() {
    auto* page = new QWizardPage;
    page->setTitle("What kind of disc?");
    page->setSubTitle("Choose the disc to make from your MPEG files.");
    auto* layout = new QVBoxLayout(page);
    const std::array<std::pair<const char*, const char*>, 3> kinds = {{
        {"DVD", "A DVD-Video disc with a menu for its titles."},
        {"SVCD", "A SuperVCD: MPEG-2 on a CD."},
        {"VCD", "A VideoCD: MPEG-1 on a CD."},
    }};
    for (std::size_t i = 0; i < kinds.size(); ++i) {
        kinds_[i] = new QRadioButton(kinds[i].first, page);
        auto* note = new QLabel(kinds[i].second, page);
        note->setIndent(24);
        layout->addWidget(kinds_[i]);
        layout->addWidget(note);
        const auto kind = static_cast<DiscKind>(i);
        connect(kinds_[i], &QRadioButton::toggled, this, [this, kind](bool on) {
            if (on && !syncing_) model_.SelectKind(kind);
        });
    }
    layout->addStretch();
    return page;
}

QListWidget* DiscWriterWizard::AddFileList(QWizardPage* page, QGridLayout* layout,
                                           const QString& addCaption, const FileListActions& act) {
    auto* list = new QListWidget(page);
    list->setTextElideMode(Qt::ElideMiddle);
    layout->addWidget(list, 0, 0, 5, 1);
    const std::array<std::pair<QString, std::function<void()>>, 4> buttons = {{
        {addCaption, act.add},
        {"Remove File(s)", act.remove},
        {"Move up", act.up},
        {"Move down", act.down},
    }};
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        auto* button = Button(buttons[i].first, page);
        layout->addWidget(button, static_cast<int>(i), 1);
        connect(button, &QPushButton::clicked, this, buttons[i].second);
    }
    connect(list, &QListWidget::currentRowChanged, this, [this, select = act.select](int row) {
        if (!syncing_) select(row);
    });
    return list;
}

QWizardPage* DiscWriterWizard::MakeTitlesPage() {
    auto* page = new CheckedPage([this] { return model_.TitlesChosen(); });
    page->setTitle("Titles");
    page->setSubTitle("The MPEG files to burn, in the order they play.");
    auto* layout = new QGridLayout(page);
    titles_ = AddFileList(
        page, layout, "Add MPEG File(s) to Burn",
        {[this] {
             const QStringList files = ChooseFiles(this, kOpenFilesTitle, kTitleFilters);
             if (files.isEmpty()) return;
             // Every file is probed.
             QApplication::setOverrideCursor(Qt::WaitCursor);
             model_.ChooseTitles(ToPaths(files));
             QApplication::restoreOverrideCursor();
         },
         [this] { model_.RemoveTitles(); }, [this] { model_.MoveTitleUp(); },
         [this] { model_.MoveTitleDown(); }, [this](int row) { model_.SelectTitle(row); }});
    // Why Next waits, and which files could not be titles.
    refusedTitles_ = new QLabel(page);
    refusedTitles_->setWordWrap(true);
    refusedTitles_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(refusedTitles_, 5, 0, 1, 2);
    return page;
}

QWizardPage* DiscWriterWizard::MakeMenuPage() {
    auto* page = new QWizardPage;
    page->setTitle("DVD menu");
    page->setSubTitle(
        "With several titles the DVD starts with a menu: one numbered button per title on a "
        "background picture. Button pictures are used in order; the last one repeats.");
    auto* layout = new QGridLayout(page);
    pictures_ = AddFileList(
        page, layout, "Add Image File(s) for DVD Menu Button",
        {[this] {
             const QStringList files = ChooseFiles(this, kOpenPicturesTitle, kPictureFilters);
             if (!files.isEmpty()) model_.ChoosePictures(ToPaths(files));
         },
         [this] { model_.RemovePictures(); }, [this] { model_.MovePictureUp(); },
         [this] { model_.MovePictureDown(); }, [this](int row) { model_.SelectPicture(row); }});
    refusedPictures_ = new QLabel(page);
    refusedPictures_->setWordWrap(true);
    refusedPictures_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(refusedPictures_, 5, 0, 1, 2);
    layout->addWidget(new QLabel("Background:", page), 6, 0, 1, 2);
    background_ = new QLineEdit(page);
    background_->setReadOnly(true);
    background_->setObjectName(QString::number(kMenuBackgroundControl));
    auto* browse = Button("Browse", page);
    layout->addWidget(background_, 7, 0, 1, 2);
    layout->addWidget(browse, 7, 2, Qt::AlignLeft);
    // The menu as the disc will show it, drawn by the code that makes it.
    preview_ = new QLabel(page);
    preview_->setObjectName("menuPreview");
    preview_->setFixedSize(kPreviewWidth, kPreviewHeight);
    preview_->setScaledContents(true);
    preview_->setToolTip("The DVD menu as it will look");
    layout->addWidget(preview_, 0, 2, 5, 1, Qt::AlignTop);
    // The list and the background's path take the room the buttons leave.
    layout->setColumnStretch(0, 1);
    connect(browse, &QPushButton::clicked, this, [this] {
        QStringList filters;
        for (const FileFilter& filter : kBackgroundFilters) filters << NameFilter(filter);
        QFileDialog dialog(this, "Open", QString(), filters.join(";;"));
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setDefaultSuffix("bmp");
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
        model_.ChooseBackground(dialog.selectedFiles().front().toStdString());
    });
    return page;
}

QWizardPage* DiscWriterWizard::MakeCreatePage() {
    auto* page = new QWizardPage;
    page->setTitle("Create the disc");
    page->setSubTitle(
        "A DVD is first written as a DVD-Video folder in the export folder; the burning window "
        "then takes over.");
    auto* layout = new QVBoxLayout(page);
    summary_ = new QLabel(page);
    summary_->setWordWrap(true);
    layout->addWidget(summary_);
    auto* buttons = new QHBoxLayout;
    create_ = Button("Create Disc", page);
    stop_ = Button("Stop", page);
    buttons->addWidget(create_);
    buttons->addWidget(stop_);
    buttons->addStretch();
    layout->addLayout(buttons);
    progress_ = new QProgressBar(page);
    progress_->setTextVisible(false);
    layout->addWidget(progress_);
    status_ = new QLabel(page);
    status_->setWordWrap(true);
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(status_);
    elapsed_ = new QLabel(page);
    layout->addWidget(elapsed_);
    layout->addStretch();
    connect(create_, &QPushButton::clicked, this, [this] { model_.Next(); });
    connect(stop_, &QPushButton::clicked, this, [this] { model_.Stop(); });
    return page;
}

int DiscWriterWizard::nextId() const {
    switch (currentId()) {
        case kKindPage:
            return kTitlesPage;
        case kTitlesPage:
            // Only a DVD has a menu.
            return model_.Kind() == kDvdDisc ? kMenuPage : kCreatePage;
        case kMenuPage:
            return kCreatePage;
        default:
            return -1;
    }
}

bool DiscWriterWizard::validateCurrentPage() {
    return currentPage() && currentPage()->isComplete() && QWizard::validateCurrentPage();
}

void DiscWriterWizard::Sync() {
    syncing_ = true;
    kinds_[static_cast<std::size_t>(model_.Kind())]->setChecked(true);
    Fill(titles_, model_.Titles(), model_.SelectedTitle());
    Fill(pictures_, model_.Pictures(), model_.SelectedPicture());
    background_->setText(ToQString(model_.Background()));
    background_->setToolTip(background_->text());
    refusedTitles_->setText(model_.TitlesChosen() || !model_.RefusedTitles().empty()
                                ? Lines(model_.RefusedTitles())
                                : QString(kNoTitlesText));
    refusedPictures_->setText(Lines(model_.RefusedPictures()));
    if (auto* titlesPage = dynamic_cast<CheckedPage*>(page(kTitlesPage))) titlesPage->Recheck();
    ShowMenuPreview();
    const std::array<const char*, 3> names = {"DVD", "SuperVCD", "VideoCD"};
    summary_->setText(QString("A %1 with %2 title(s).%3")
                          .arg(names[static_cast<std::size_t>(model_.Kind())])
                          .arg(model_.Titles().size())
                          .arg(model_.Kind() == kDvdDisc && model_.Titles().size() > 1
                                   ? " The disc gets a menu with one button per title."
                                   : ""));
    create_->setEnabled(model_.NextEnabled());
    stop_->setEnabled(model_.StopEnabled());
    progress_->setRange(0, model_.ProgressMaximum());
    progress_->setValue(model_.Progress());
    status_->setText(ToQString(model_.Status()));
    elapsed_->setText(model_.Building() ? "Elapsed: " + Clock(model_.ElapsedSeconds()) : "");
    // Nothing else may change while the disc is made.
    if (QAbstractButton* back = button(QWizard::BackButton)) back->setEnabled(model_.NextEnabled());
    if (QAbstractButton* next = button(QWizard::NextButton)) {
        next->setEnabled(model_.NextEnabled() && currentPage() && currentPage()->isComplete());
    }
    syncing_ = false;
    if (model_.Closed()) done(QDialog::Rejected);
}

void DiscWriterWizard::ShowMenuPreview() {
    const MenuPictureRequest request = model_.MenuRequest();
    std::string key = request.background + '\n' + std::to_string(request.titles);
    for (const std::string& picture : request.buttonPictures) key += '\n' + picture;
    if (key == previewKey_) return;
    previewKey_ = key;
    previewImage_ = ToQImage(ComposeMenu(request).picture);
    preview_->setPixmap(QPixmap::fromImage(previewImage_));
}

QImage DiscWriterWizard::MenuPreview() const { return previewImage_; }

void DiscWriterWizard::reject() {
    model_.Close();
    if (model_.Closed()) done(QDialog::Rejected);
}

void DiscWriterWizard::accept() { reject(); }
