// tobrin: the host that runs one conversion job of the library. It loads
// libkorvan.so from its own folder at run time, calls ConvertRM2AVI (which
// reads the job file beside it and writes the progress and the result back)
// and exits with the job's result code. The library's message boxes appear
// as real boxes when a display is there, else on standard error; its
// questions (the AVI compressor) are dialogs with a display, and without one
// nobody is asked, so the library keeps its default.
#include <dlfcn.h>

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QStringList>
#include <QThread>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "platform/message_box.h"
#include "platform/program_folder.h"

namespace {

// Exit codes of the host itself, beyond the job's result codes 0..5.
constexpr int kLibraryMissing = 100;

constexpr char kLibraryName[] = "libkorvan.so";
constexpr char kEntryName[] = "ConvertRM2AVI";

bool IsSet(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

// Qt message boxes and questions on the thread that made the application;
// boxes from any other thread, and all of them when no screen could be
// reached, go to standard error as the library's default does, and their
// questions are asked of nobody.
class QtMessagePresenter : public platform::MessagePresenter {
public:
    void Show(const std::string& text, const std::string& caption,
              platform::MessageBoxIcon icon) override {
        if (QThread::currentThread() != qApp->thread()) {
            std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
            return;
        }
        QMessageBox box(IconOf(icon), QString::fromStdString(caption), QString::fromStdString(text),
                        QMessageBox::Ok);
        box.exec();
    }

    // A list to pick one from, opened on the question's selection.
    platform::ChoiceAnswer Ask(const platform::ChoiceQuestion& question) override {
        if (QThread::currentThread() != qApp->thread()) return {};
        QStringList items;
        for (const std::string& choice : question.choices) {
            items.append(QString::fromStdString(choice));
        }
        QInputDialog dialog;
        dialog.setWindowTitle(QString::fromStdString(question.caption));
        dialog.setLabelText(QString::fromStdString(question.text));
        dialog.setOption(QInputDialog::UseListViewForComboBoxItems);
        dialog.setComboBoxItems(items);
        dialog.setComboBoxEditable(false);
        if (question.initial < question.choices.size()) {
            dialog.setTextValue(items.at(static_cast<int>(question.initial)));
        }
        if (dialog.exec() != QDialog::Accepted) return {platform::ChoiceOutcome::kCancelled, 0};
        const auto index = items.indexOf(dialog.textValue());
        if (index < 0) return {platform::ChoiceOutcome::kCancelled, 0};
        return {platform::ChoiceOutcome::kChosen, static_cast<std::size_t>(index)};
    }

private:
    static QMessageBox::Icon IconOf(platform::MessageBoxIcon icon) {
        switch (icon) {
            case platform::MessageBoxIcon::kInformation:
                return QMessageBox::Information;
            case platform::MessageBoxIcon::kWarning:
                return QMessageBox::Warning;
            case platform::MessageBoxIcon::kError:
                return QMessageBox::Critical;
            case platform::MessageBoxIcon::kNone:
                break;
        }
        return QMessageBox::NoIcon;
    }
};

// A Qt application when a display can be reached. Qt tries the platforms
// in order and falls back to "offscreen" when the display named cannot be
// opened; a box there would wait for a click nobody can give, so that counts
// as no display.
std::unique_ptr<QApplication> OpenDisplay(int& argc, char** argv) {
    if (!IsSet("DISPLAY") && !IsSet("WAYLAND_DISPLAY")) return nullptr;
    if (!IsSet("QT_QPA_PLATFORM")) {
        setenv("QT_QPA_PLATFORM", IsSet("DISPLAY") ? "xcb;offscreen" : "wayland;offscreen", 1);
    }
    auto application = std::make_unique<QApplication>(argc, argv);
    const QString platform = QGuiApplication::platformName();
    if (platform == "offscreen" || platform == "minimal") return nullptr;
    return application;
}

}  // namespace

int main(int argc, char** argv) {
    const std::unique_ptr<QApplication> display = OpenDisplay(argc, argv);
    QtMessagePresenter presenter;
    if (display) platform::InstallMessagePresenter(&presenter);

    const std::string library = platform::ProgramFolder() + kLibraryName;
    // The library stays mapped until the host exits: what it and the
    // decoders it loads keep in their globals stays reachable (the leak
    // checker counts it lost once they are unmapped), and no static object
    // of theirs is destroyed before the end of the process.
    void* handle = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!handle) {
        platform::ShowMessageBox("Could not load " + library + ": " + dlerror(), "tobrin",
                                 platform::MessageBoxIcon::kError);
        return kLibraryMissing;
    }
    using ConvertFunction = int (*)();
    auto convert = reinterpret_cast<ConvertFunction>(dlsym(handle, kEntryName));
    if (!convert) {
        platform::ShowMessageBox(library + " has no " + kEntryName, "tobrin",
                                 platform::MessageBoxIcon::kError);
        dlclose(handle);
        return kLibraryMissing;
    }
    const int result = convert();
    platform::InstallMessagePresenter(nullptr);
    dlclose(handle);
    return result;
}
