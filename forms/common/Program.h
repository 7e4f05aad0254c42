// The program's directory and the end of the program, each behind a seam that
// tests replace.
#pragma once

#include <QPixmap>
#include <QString>

#include <functional>

namespace quillmere::forms {

// The folder of the executable, without a final slash (or the folder set by
// setProgramDir, for tests).
QString programDir();
void setProgramDir(const QString& dir);   // empty: back to the executable's folder

// <program dir>/image/<name>
QString imagePath(const QString& name);

// Loads a picture from the image folder; a null pixmap when missing or unreadable.
QPixmap loadPicture(const QString& name);

// Ends the program at once: every window closes, no questions, nothing saved.
void endProgram();

// Replaces what endProgram does; returns the previous function. Empty restores
// the real end (leaving the event loop).
std::function<void()> setEndProgramHandler(std::function<void()> h);

}  // namespace quillmere::forms
