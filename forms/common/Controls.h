// Building form controls from their stored design: object name, caption or
// text, place and size in twips (relative to the parent: the form or a frame).
#pragma once

#include <QColor>
#include <QString>
#include <QStringList>
#include <Qt>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QWidget;

namespace quillmere::forms {

class DataGrid;
class ImageBox;
class LineShape;

struct Tw {  // left, top, width, height in twips
    int left, top, width, height;
};

void placeTw(QWidget* w, Tw r);

// A transparent label; the text is wrapped at the label's width, like the
// stored labels.
QLabel* makeLabel(QWidget* parent, const char* name, const QString& caption, Tw r,
                  Qt::Alignment align = Qt::AlignLeft);
// A title label: centred, blue, in the named font and size.
QLabel* makeTitle(QWidget* parent, const char* name, const QString& caption, Tw r,
                  const QString& font = QStringLiteral("华文行楷"), double points = 26.25, bool bold = false);

// maxLength 0: no limit.
QLineEdit* makeTextBox(QWidget* parent, const char* name, const QString& text, Tw r, int maxLength = 0);
void setPasswordChar(QLineEdit* box);   // each character shown as "*"
void setBackColor(QWidget* w, QColor c);

// A multi-line text box with a vertical scroll bar (long lines wrap), or with
// both scroll bars when `horizontal` (long lines do not wrap). maxLength 0: no
// limit; otherwise typed or pasted text beyond it is cut off (a line break
// counts as one character).
QPlainTextEdit* makeMultiLine(QWidget* parent, const char* name, const QString& text, Tw r, int maxLength = 0,
                              bool horizontal = false);

// A multi-line listing box with a vertical scroll bar (long lines wrap), blue text.
QPlainTextEdit* makeListing(QWidget* parent, const char* name, const QString& text, Tw r);

// A command button; a valid back colour gives it the graphical style in that colour.
QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption, Tw r,
                        QColor back = QColor());

// A frame, with or without caption; opaque, filled with the back colour
// (the button face when none is given).
QGroupBox* makeFrame(QWidget* parent, const char* name, const QString& caption, Tw r,
                     QColor back = QColor());

// A drop-down combo box with an editable text.
QComboBox* makeCombo(QWidget* parent, const char* name, const QStringList& items, const QString& text, Tw r);

// Option buttons sharing a parent form one group.
QRadioButton* makeOption(QWidget* parent, const char* name, const QString& caption, Tw r, bool selected = false);
QCheckBox* makeCheck(QWidget* parent, const char* name, const QString& caption, Tw r);

// An image showing <program dir>/image/<picture> at its own size.
ImageBox* makeImage(QWidget* parent, const char* name, const QString& picture, Tw r,
                    const QString& toolTip = {});

// A line from x1,y1 to x2,y2 in twips.
LineShape* makeLine(QWidget* parent, const char* name, int x1, int y1, int x2, int y2,
                    QColor colour = Qt::black);

DataGrid* makeGrid(QWidget* parent, const char* name, Tw r, QColor back = QColor());

}  // namespace quillmere::forms
