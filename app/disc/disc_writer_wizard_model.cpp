#include "app/disc/disc_writer_wizard_model.h"

#include <algorithm>
#include <cctype>
#include <utility>

#include "app/disc/menu_picture.h"
#include "app/tools/run_context.h"
#include "platform/private_profile.h"

namespace {

constexpr const char* kBackgroundSection = "DVD";
constexpr std::size_t kSettingsValueBytes = 4096;
constexpr std::size_t kStatusLogLimit = 1000;

bool IsTitleCodec(std::string codec) {
    for (char& c : codec) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return codec == "mpeg1video" || codec == "mpeg2video" || codec == "rv40";
}

}  // namespace

DiscWriterWizardModel::DiscWriterWizardModel(DiscWriterSetup setup) : setup_(std::move(setup)) {
    background_ = platform::GetPrivateProfileString(kBackgroundSection, kMenuBackgroundKey, "",
                                                    kSettingsValueBytes, setup_.settingsPath);
    if (background_.empty()) background_ = setup_.programFolder + kDefaultMenuBackgroundName;
}

void DiscWriterWizardModel::ShowStatus(std::string text) {
    if (statusLog_.size() == kStatusLogLimit) statusLog_.erase(statusLog_.begin());
    statusLog_.push_back(text);
    status_ = std::move(text);
    Changed();
}

void DiscWriterWizardModel::SelectKind(DiscKind kind) {
    if (busy_) return;
    kind_ = kind;
    Changed();
}

void ChosenFiles::Replace(std::vector<std::string> kept) {
    paths = std::move(kept);
    selected = paths.empty() ? -1 : 0;
}

void ChosenFiles::Select(int index) {
    if (index >= -1 && index < static_cast<int>(paths.size())) selected = index;
}

void ChosenFiles::MoveSelected(int step) {
    const int other = selected + step;
    if (selected < 0 || other < 0 || other >= static_cast<int>(paths.size())) return;
    std::swap(paths[static_cast<std::size_t>(selected)], paths[static_cast<std::size_t>(other)]);
    selected = other;
}

void DiscWriterWizardModel::Change(ChosenFiles& files,
                                   const std::function<void(ChosenFiles&)>& change) {
    if (busy_) return;
    change(files);
    Changed();
}

void DiscWriterWizardModel::ChooseTitles(const std::vector<std::string>& files) {
    if (busy_ || files.empty()) return;
    std::vector<std::string> kept;
    refusedTitles_.clear();
    for (const std::string& file : files) {
        const std::string codec = setup_.videoCodecOf ? setup_.videoCodecOf(file) : std::string();
        if (IsTitleCodec(codec)) {
            kept.push_back(file);
        } else if (codec.empty()) {
            refusedTitles_.push_back(file + " cannot be a title: no video could be read from it.");
        } else {
            refusedTitles_.push_back(file + " cannot be a title: its video is " + codec +
                                     ", not MPEG-1 or MPEG-2.");
        }
    }
    titles_.Replace(std::move(kept));
    buttons_.clear();
    Changed();
}

void DiscWriterWizardModel::ChoosePictures(const std::vector<std::string>& files) {
    if (busy_ || files.empty()) return;
    std::vector<std::string> kept;
    refusedPictures_.clear();
    for (const std::string& file : files) {
        if (LoadsAsPicture(file)) {
            kept.push_back(file);
        } else {
            refusedPictures_.push_back(file + " is not a BMP or JPEG picture.");
        }
    }
    pictures_.Replace(std::move(kept));
    Changed();
}

MenuPictureRequest DiscWriterWizardModel::MenuRequest() const {
    return {background_, pictures_.paths, std::max(1, static_cast<int>(titles_.paths.size()))};
}

bool DiscWriterWizardModel::SaveMenuPreview(const std::string& path) {
    if (!SaveMenuPicture(ComposeMenu(MenuRequest()).picture, path)) return false;
    menuPreviewFile_ = path;
    Changed();
    return true;
}

bool DiscWriterWizardModel::ChooseBackground(const std::string& file) {
    if (busy_ || !LoadsAsPicture(file)) return false;
    background_ = file;
    platform::WritePrivateProfileString(kBackgroundSection, kMenuBackgroundKey, file,
                                        setup_.settingsPath);
    Changed();
    return true;
}

void DiscWriterWizardModel::Next() {
    if (busy_) return;
    if (!TitlesChosen()) {
        ShowStatus(kNoTitlesText);
        return;
    }
    if (setup_.conversionRunning && setup_.conversionRunning()) {
        ShowStatus("Wait until the conversion has finished.");
        return;
    }
    busy_ = true;
    stopRequested_ = false;
    builtFolder_.clear();
    Changed();
    if (kind_ == kDvdDisc) {
        BuildDvd();
    } else {
        Burn(kind_, titles_.paths);
    }
    busy_ = false;
    if (closeRequested_) closed_ = true;
    Changed();
}

void DiscWriterWizardModel::BuildDvd() {
    const std::vector<std::string>& titles = titles_.paths;
    if (titles.size() > kMaxDvdTitles) {
        ShowStatus("A DVD holds at most " + std::to_string(kMaxDvdTitles) + " titles.");
        return;
    }
    // The build's list: the menu (when there are several titles) before the
    // titles; the wizard's own list stays as the user made it.
    std::vector<std::string> entries = titles;
    if (titles.size() > 1) {
        ShowStatus("Making the DVD menu...");
        const MenuClipSetup clip{setup_.context, setup_.exportFolder, setup_.menuVideoCodec,
                                 setup_.convertFile};
        const MenuPictureRequest picture{background_, pictures_.paths,
                                         static_cast<int>(titles.size())};
        entries.insert(entries.begin(), MakeMenuClip(clip, picture, buttons_));
    }
    if (stopRequested_) {
        ShowStatus("The DVD build was stopped.");
        return;
    }
    ShowStatus(kCreatingDvdImageText);
    DvdImageBuild build(*setup_.context, setup_.programFolder, setup_.writableFolder,
                        setup_.exportFolder, *this);
    const int result = build.BuildFromTitles(entries, buttons_);
    if (result == 0) {
        ShowStatus(stopRequested_ ? "The DVD build was stopped."
                                  : "The DVD image could not be made: " + build.FailureText());
        return;
    }
    builtFolder_ = build.VideoFolder();
    ShowStatus("The DVD-Video folder is ready: " + builtFolder_);
    Burn(kDvdDisc, titles);
}

void DiscWriterWizardModel::Burn(DiscKind kind, const std::vector<std::string>& files) {
    if (setup_.openBurningWindow && setup_.openBurningWindow(kind, files) == 1) {
        closeRequested_ = true;
    }
}

void DiscWriterWizardModel::Stop() {
    if (!busy_) return;
    stopRequested_ = true;
    building_ = false;
    // A tool making the menu quits at once; the image build stops at its
    // next progress report.
    setup_.context->cancelRequested = true;
    Changed();
}

void DiscWriterWizardModel::Close() {
    if (busy_) {
        closeRequested_ = true;
        Stop();
        return;
    }
    closed_ = true;
    Changed();
}

void DiscWriterWizardModel::OnTimer() {
    if (!building_) return;
    ++elapsedSeconds_;
    Changed();
}

void DiscWriterWizardModel::SetBuilding(bool building) {
    building_ = building && !stopRequested_;
    if (building) elapsedSeconds_ = 0;
    Changed();
}

void DiscWriterWizardModel::SetBuildProgress(int maximum, int position) {
    progressMaximum_ = maximum;
    progress_ = position;
    Changed();
}
