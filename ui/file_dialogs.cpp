#include "ui/file_dialogs.h"

#include <QFileDialog>

namespace {

QString FromView(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

QString NameFilter(const FileFilter& filter) {
    QStringList patterns;
    for (const QString& pattern : FromView(filter.patterns).split(';', Qt::SkipEmptyParts)) {
        patterns << pattern.toLower();
        if (pattern.toUpper() != pattern.toLower()) patterns << pattern.toUpper();
    }
    return FromView(filter.description) + " (" + patterns.join(' ') + ")";
}

QStringList ChooseFiles(QWidget* parent, std::string_view title,
                        std::span<const FileFilter> filters) {
    QStringList names;
    for (const FileFilter& filter : filters) names << NameFilter(filter);
    return QFileDialog::getOpenFileNames(parent, FromView(title), QString(), names.join(";;"),
                                         nullptr, QFileDialog::HideNameFilterDetails);
}
