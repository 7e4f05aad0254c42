#include "forms/common/ImageBox.h"

#include "forms/common/Program.h"

#include <QMouseEvent>

namespace quillmere::forms {

ImageBox::ImageBox(QWidget* parent) : QLabel(parent)
{
    setMouseTracking(true);
    setAttribute(Qt::WA_TranslucentBackground);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

bool ImageBox::setPicture(const QPixmap& p)
{
    if (p.isNull())
        return false;
    setPixmap(p);
    resize(p.deviceIndependentSize().toSize());
    return true;
}

bool ImageBox::loadPicture(const QString& name)
{
    if (!setPicture(forms::loadPicture(name)))
        return false;
    pictureName_ = name;
    return true;
}

void ImageBox::mousePressEvent(QMouseEvent* e)
{
    // Click belongs to the left button; MouseDown and MouseUp to any button.
    if (e->button() == Qt::LeftButton)
        pressed_ = true;
    emit mouseDown();
    e->accept();
}

void ImageBox::mouseMoveEvent(QMouseEvent* e)
{
    emit mouseMove();
    e->accept();
}

void ImageBox::mouseReleaseEvent(QMouseEvent* e)
{
    const bool wasPressed = pressed_ && e->button() == Qt::LeftButton;
    if (e->button() == Qt::LeftButton)
        pressed_ = false;
    emit mouseUp();
    if (wasPressed && rect().contains(e->position().toPoint()))
        emit clicked();
    e->accept();
}

}  // namespace quillmere::forms
