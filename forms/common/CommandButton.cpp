#include "forms/common/CommandButton.h"

#include <QStyleOptionButton>
#include <QStylePainter>

namespace quillmere::forms {

CommandButton::CommandButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {}

void CommandButton::paintEvent(QPaintEvent* e)
{
    QStyleOptionButton opt;
    initStyleOption(&opt);
    const QRect contents = style()->subElementRect(QStyle::SE_PushButtonContents, &opt, this);
    if (fontMetrics().horizontalAdvance(opt.text) <= contents.width() || !icon().isNull()) {
        QPushButton::paintEvent(e);
        return;
    }
    const QString caption = opt.text;
    opt.text.clear();
    QStylePainter p(this);
    p.drawControl(QStyle::CE_PushButton, opt);
    int flags = Qt::AlignCenter | Qt::TextWordWrap;
    if (fontMetrics().boundingRect(contents, flags, caption).width() > contents.width())
        flags = Qt::AlignCenter | Qt::TextWrapAnywhere;
    const bool down = isDown() || isChecked();
    p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    p.drawText(contents.translated(down ? 1 : 0, down ? 1 : 0), flags, caption);
}

}  // namespace quillmere::forms
