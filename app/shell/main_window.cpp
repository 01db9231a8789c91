#include "app/shell/main_window.h"

#include <QComboBox>
#include <QIcon>
#include <QLabel>
#include <QVBoxLayout>

#include "app/shell/main_window_model.h"

namespace {

constexpr int kEmptyListHeight = 21;
constexpr int kHeightBesideList = 232;

}  // namespace

MainWindow::MainWindow(MainWindowModel& model, QWidget* parent) : QDialog(parent), model_(model) {
    model_.Initialise();
    setWindowTitle(QString::fromStdString(model_.Title()));
    setWindowIcon(QIcon(":/images/zarvo.png"));
    setFixedSize(MainWindowModel::kWidth, kEmptyListHeight + kHeightBesideList);

    auto* layout = new QVBoxLayout(this);
    auto* folder = new QLabel(
        QString("Export folder: %1").arg(QString::fromStdString(model_.ExportFolder())), this);
    auto* profiles = new QComboBox(this);
    const ProfileTable& table = model_.CurrentProfiles();
    for (int i = 0; i < table.count; ++i) {
        profiles->addItem(QString::fromStdString(table.profiles[static_cast<std::size_t>(i)].name));
    }
    layout->addWidget(folder);
    layout->addWidget(profiles);
    layout->addStretch();
}
