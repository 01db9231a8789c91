#include "ui/readable_text.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QRadioButton>
#include <QStringList>
#include <QStyledItemDelegate>

namespace {

constexpr double kSmallestFontScale = 0.6;
constexpr double kFontStep = 0.05;

int WidestLine(const QFont& font, const QString& text) {
    const QFontMetrics metrics(font);
    int widest = 0;
    for (const QString& line : text.split('\n')) {
        widest = std::max(widest, metrics.horizontalAdvance(line));
    }
    return widest;
}

// The largest font, from the parent's down to the smallest scale, in which
// `text` is at most `width` wide.
void FitFont(QWidget* widget, const QString& text, int width) {
    const QFont base = widget->parentWidget() ? widget->parentWidget()->font() : widget->font();
    QFont font = widget->font();
    const double size = base.pointSizeF() > 0 ? base.pointSizeF() : 9.0;
    for (double scale = 1.0; scale >= kSmallestFontScale - 1e-9; scale -= kFontStep) {
        font.setPointSizeF(size * scale);
        if (WidestLine(font, text) <= width) break;
    }
    widget->setFont(font);
}

}  // namespace

void FitCaption(QLabel* label) {
    FitFont(label, label->text(), label->contentsRect().width() - 2 * label->margin());
}

QString ShownCaption(const QAbstractButton* button) {
    QString caption = button->text();
    caption.replace("&&", QChar(0x1)).remove('&').replace(QChar(0x1), "&");
    return caption;
}

int CaptionRoom(const QAbstractButton* button) {
    const bool indicator =
        qobject_cast<const QCheckBox*>(button) || qobject_cast<const QRadioButton*>(button);
    return button->width() - (indicator ? kIndicatorTextMargin : kButtonTextMargin);
}

void FitCaption(QAbstractButton* button) {
    FitFont(button, ShownCaption(button), CaptionRoom(button));
}

void ShowElided(QLabel* label, const QString& text) {
    const int width = label->contentsRect().width() - 2 * label->margin() - label->indent();
    const QString shown = label->fontMetrics().elidedText(text, Qt::ElideMiddle, width);
    label->setText(shown);
    label->setToolTip(shown == text ? QString() : text);
}

void UseReadableDropDowns(QWidget* window) {
    for (QComboBox* box : window->findChildren<QComboBox*>()) {
        box->setItemDelegate(new QStyledItemDelegate(box));
    }
}

const char* const kReadableListsStyleSheet = R"(
QComboBox QAbstractItemView, QListView, QListWidget, QTreeView, QTreeWidget {
    background: white; color: #1e2833;
    selection-background-color: #3d6db0; selection-color: white;
}
QComboBox QAbstractItemView::item:selected, QComboBox QAbstractItemView::item:hover,
QListView::item:selected, QListWidget::item:selected,
QTreeView::item:selected, QTreeWidget::item:selected {
    background: #3d6db0; color: white;
}
)";
