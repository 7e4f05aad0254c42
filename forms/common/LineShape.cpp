#include "forms/common/LineShape.h"

#include <QPainter>

namespace quillmere::forms {

LineShape::LineShape(QWidget* parent, QPoint from, QPoint to, QColor colour, int width)
    : QWidget(parent), from_(from), to_(to), colour_(colour), width_(width)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_TranslucentBackground);
    const QRect box = QRect(from, to).normalized().adjusted(-width, -width, width, width);
    setGeometry(box);
}

void LineShape::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setPen(QPen(colour_, width_));
    p.drawLine(from_ - pos(), to_ - pos());
}

}  // namespace quillmere::forms
