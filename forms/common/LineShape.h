// A line control between two points (in its parent's coordinates). It lets the
// mouse through to whatever lies under it.
#pragma once

#include <QColor>
#include <QWidget>

namespace quillmere::forms {

class LineShape : public QWidget {
    Q_OBJECT
public:
    LineShape(QWidget* parent, QPoint from, QPoint to, QColor colour = Qt::black, int width = 1);
    QPoint from() const { return from_; }
    QPoint to() const { return to_; }
    QColor colour() const { return colour_; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QPoint from_, to_;
    QColor colour_;
    int width_;
};

}  // namespace quillmere::forms
