// Colours and fonts as the forms name them.
#pragma once

#include <QColor>
#include <QFont>
#include <QString>

namespace quillmere::forms {

// #RRGGBB written as 0xRRGGBB.
inline QColor rgb(unsigned v) { return QColor((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF); }

QColor buttonFace();   // the system's button-face colour
QColor formBlue();     // #0000FF, titles and listings

// The installed face that stands for a stored font name: "华文行楷" -> a Kai face,
// "宋体" and "华文中宋" -> a Ming/Song face; other names are kept.
QString mapFontFamily(const QString& storedName);

// A font by its stored name and size in points.
QFont cjkFont(const QString& storedName, double points, bool bold = false);

// The forms' default font ("宋体" 9 pt).
QFont defaultFormFont();

}  // namespace quillmere::forms
