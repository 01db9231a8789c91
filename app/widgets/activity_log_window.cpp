#include "app/widgets/activity_log_window.h"

#include <QDir>
#include <QFileDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include "app/tools/activity_log.h"

ActivityLogWindow::ActivityLogWindow(const ActivityLog& log, QWidget* parent)
    : QDialog(parent), log_(log) {
    setWindowTitle("Log");
    resize(760, 460);
    text_ = new QPlainTextEdit(this);
    text_->setReadOnly(true);
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);
    text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    auto* refresh = new QPushButton("Refresh", this);
    auto* save = new QPushButton("Save...", this);
    auto* close = new QPushButton("Close", this);
    for (QPushButton* button : {refresh, save, close}) button->setAutoDefault(false);
    connect(refresh, &QPushButton::clicked, this, [this] { Refresh(); });
    connect(save, &QPushButton::clicked, this, [this] { Save(); });
    connect(close, &QPushButton::clicked, this, &QDialog::close);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(refresh);
    buttons->addStretch();
    buttons->addWidget(save);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text_);
    layout->addLayout(buttons);
    Refresh();
}

void ActivityLogWindow::Refresh() {
    text_->setPlainText(QString::fromStdString(log_.Text()));
    text_->verticalScrollBar()->setValue(text_->verticalScrollBar()->maximum());
}

void ActivityLogWindow::Save() {
    const QString path = QFileDialog::getSaveFileName(
        this, "Save Log", QDir::home().filePath("zarvo-log.txt"), "Text files (*.txt)");
    if (path.isEmpty()) return;
    if (!log_.SaveTo(path.toStdString())) {
        QMessageBox::warning(this, "Save Log", "The log could not be saved to " + path + ".");
    }
}
