// KeyPress handling for text boxes: each typed character passes through a
// function that may replace it or discard it (by returning 0). Keys that type
// nothing (arrows, shortcuts with Ctrl or Alt) are not filtered.
#pragma once

#include <QObject>

#include <functional>

class QWidget;

namespace quillmere::forms {

// Takes the typed character's code; returns the code to insert, 0 to discard.
using KeyPressHandler = std::function<int(int keyAscii)>;

class KeyPressFilter : public QObject {
    Q_OBJECT
public:
    KeyPressFilter(QWidget* box, KeyPressHandler h);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    KeyPressHandler handler_;
};

void setKeyPress(QWidget* box, KeyPressHandler h);

// The digit filter of the numeric boxes: a key that Module1::IsDigitKey refuses
// is discarded and "请输入阿拉伯数字" (title "提示") is shown.
void setDigitFilter(QWidget* box);

}  // namespace quillmere::forms
