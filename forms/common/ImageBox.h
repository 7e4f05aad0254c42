// An image control: shows its picture at the picture's own size (the control
// takes that size), has a tool tip, and reports Click, MouseDown, MouseMove and
// MouseUp (Click: the left button only).
#pragma once

#include <QLabel>
#include <QPixmap>

namespace quillmere::forms {

class ImageBox : public QLabel {
    Q_OBJECT
public:
    explicit ImageBox(QWidget* parent = nullptr);

    // Shows the picture at its own size; a null picture leaves the control as
    // it was and returns false.
    bool setPicture(const QPixmap& p);
    // Loads <program dir>/image/<name>; a missing or unreadable file leaves the
    // picture as it was and returns false.
    bool loadPicture(const QString& name);
    QString pictureName() const { return pictureName_; }

signals:
    void clicked();
    void mouseDown();
    void mouseMove();
    void mouseUp();

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    bool pressed_ = false;
    QString pictureName_;
};

}  // namespace quillmere::forms
