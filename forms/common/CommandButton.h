// A command button whose caption wraps onto several lines when the button is
// too narrow for it (a tall, narrow "隐藏代码" shows one character a line).
// text() stays the caption as given.
#pragma once

#include <QPushButton>

namespace quillmere::forms {

class CommandButton : public QPushButton {
    Q_OBJECT
public:
    explicit CommandButton(const QString& caption, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* e) override;
};

}  // namespace quillmere::forms
