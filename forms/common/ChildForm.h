// An MDI child of the main window: no control box, shown maximized, painted
// over the shared background picture. Load() runs once per loading, before the
// form is first shown.
#pragma once

#include <QPixmap>
#include <QString>
#include <QWidget>

namespace quillmere::forms {

class ChildForm : public QWidget {
    Q_OBJECT
public:
    // name: the form's name (its object name); caption: its window title.
    ChildForm(const char* name, const QString& caption, QWidget* parent = nullptr);

    // The form's Load; the default does nothing.
    virtual void Form_Load() {}

    // The designed client size in twips (the size the form has when not maximized).
    void setDesignSize(int widthTw, int heightTw);

    // Unloads the form: its window and controls are discarded.
    void unload();

    // The shared background picture (image/background.jpg), drawn from the
    // form's top left corner at its own size.
    static QPixmap sharedBackground();

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    QPixmap background_;
};

}  // namespace quillmere::forms
