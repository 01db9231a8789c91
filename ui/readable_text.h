// Texts that stay readable in controls of fixed size and in lists, whatever
// the desktop's font size and colour scheme: captions that shrink their font
// to fit, texts cut in the middle with the whole text as a tooltip, and
// highlighted list entries in colours of their own.
#pragma once

#include <QString>

class QAbstractButton;
class QLabel;
class QWidget;

// Room a push button's frame takes from its caption, and what a check box's
// or radio button's indicator takes, in pixels.
inline constexpr int kButtonTextMargin = 8;
inline constexpr int kIndicatorTextMargin = 24;

// A button's caption as drawn: without the "&" that marks its shortcut.
QString ShownCaption(const QAbstractButton* button);
// The room a button has for its caption.
int CaptionRoom(const QAbstractButton* button);

// Shrinks the font of a label or button (down to 60 % of the window's) until
// its caption, every line of it, fits its width; a caption that then still
// does not fit keeps the smallest font.
void FitCaption(QLabel* label);
void FitCaption(QAbstractButton* button);

// Shows `text` in the label, cut in the middle ("/home/…/clip.avi") when it
// is wider than the label; a cut text has the whole one as its tooltip.
void ShowElided(QLabel* label, const QString& text);

// Gives every drop-down list of the window item drawing that follows
// kReadableListsStyleSheet (a drop-down's own drawing, as a menu, does not
// follow it under a style sheet and showed its highlight as a white bar).
void UseReadableDropDowns(QWidget* window);

// Style sheet rules for drop-down lists and item views: the highlighted
// entry (under the mouse or the keyboard) in white on blue, every other one
// in dark text on white, so that neither depends on the palette.
extern const char* const kReadableListsStyleSheet;
