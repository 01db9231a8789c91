// The program's open-file dialogs on Qt's.
#pragma once

#include <QString>
#include <QStringList>
#include <span>

#include "ui/file_filter.h"

class QWidget;

// A Qt name filter for one of the dialog's filters: the description as
// shown, then the patterns in both cases (file names on Linux have case).
QString NameFilter(const FileFilter& filter);

// The open-file dialog for several files: the chosen paths in the
// dialog's order, none when cancelled.
QStringList ChooseFiles(QWidget* parent, std::string_view title,
                        std::span<const FileFilter> filters);
