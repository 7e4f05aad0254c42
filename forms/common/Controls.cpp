#include "forms/common/Controls.h"

#include "forms/common/CommandButton.h"
#include "forms/common/DataGrid.h"
#include "forms/common/ImageBox.h"
#include "forms/common/LineShape.h"
#include "forms/common/Style.h"
#include "forms/common/Twips.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <limits>

namespace quillmere::forms {

void placeTw(QWidget* w, Tw r) { w->setGeometry(twRect(r.left, r.top, r.width, r.height)); }

template <class W>
static W* named(W* w, const char* name, Tw r)
{
    w->setObjectName(QString::fromUtf8(name));
    placeTw(w, r);
    return w;
}

QLabel* makeLabel(QWidget* parent, const char* name, const QString& caption, Tw r, Qt::Alignment align)
{
    auto* l = named(new QLabel(caption, parent), name, r);
    l->setAlignment((align & Qt::AlignHorizontal_Mask) | Qt::AlignTop);
    l->setWordWrap(true);
    l->setAutoFillBackground(false);
    l->setAttribute(Qt::WA_TranslucentBackground);
    return l;
}

QLabel* makeTitle(QWidget* parent, const char* name, const QString& caption, Tw r, const QString& font,
                  double points, bool bold)
{
    QLabel* l = makeLabel(parent, name, caption, r, Qt::AlignHCenter);
    l->setWordWrap(false);
    l->setFont(cjkFont(font, points, bold));
    QPalette p = l->palette();
    p.setColor(QPalette::WindowText, formBlue());
    l->setPalette(p);
    return l;
}

QLineEdit* makeTextBox(QWidget* parent, const char* name, const QString& text, Tw r, int maxLength)
{
    auto* e = named(new QLineEdit(parent), name, r);
    if (maxLength > 0)
        e->setMaxLength(maxLength);
    e->setText(text);
    return e;
}

void setPasswordChar(QLineEdit* box)
{
    box->setEchoMode(QLineEdit::Password);
    box->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
}

void setBackColor(QWidget* w, QColor c)
{
    QPalette p = w->palette();
    p.setColor(QPalette::Base, c);
    p.setColor(QPalette::Window, c);
    p.setColor(QPalette::Button, c);
    w->setPalette(p);
}

namespace {

// A multi-line box whose typed, pasted or composed text stops at a length.
class MultiLineBox : public QPlainTextEdit {
public:
    MultiLineBox(const QString& text, QWidget* parent, int maxLength)
        : QPlainTextEdit(text, parent), maxLength_(maxLength)
    {
    }

protected:
    // Characters that may still be inserted in place of the selection.
    int room() const
    {
        if (maxLength_ <= 0)
            return std::numeric_limits<int>::max();
        const int length = document()->characterCount() - 1;   // without the final paragraph mark
        const QTextCursor c = textCursor();
        return std::max(0, maxLength_ - (length - (c.selectionEnd() - c.selectionStart())));
    }
    void keyPressEvent(QKeyEvent* e) override
    {
        const QString t = e->text();
        const bool types = (!t.isEmpty() && t.at(0).isPrint()) || e->key() == Qt::Key_Return
                           || e->key() == Qt::Key_Enter;
        if (types && !(e->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) && room() < 1) {
            e->accept();
            return;
        }
        QPlainTextEdit::keyPressEvent(e);
    }
    void insertFromMimeData(const QMimeData* source) override
    {
        if (maxLength_ <= 0 || !source->hasText()) {
            QPlainTextEdit::insertFromMimeData(source);
            return;
        }
        textCursor().insertText(source->text().left(room()));
        ensureCursorVisible();
    }
    void inputMethodEvent(QInputMethodEvent* e) override
    {
        if (maxLength_ > 0 && e->commitString().size() > room()) {
            QInputMethodEvent cut(e->preeditString(), e->attributes());
            cut.setCommitString(e->commitString().left(room()), e->replacementStart(), e->replacementLength());
            QPlainTextEdit::inputMethodEvent(&cut);
            return;
        }
        QPlainTextEdit::inputMethodEvent(e);
    }

private:
    int maxLength_;
};

}  // namespace

QPlainTextEdit* makeMultiLine(QWidget* parent, const char* name, const QString& text, Tw r, int maxLength,
                              bool horizontal)
{
    auto* t = named(new MultiLineBox(text, parent, maxLength), name, r);
    t->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    t->setHorizontalScrollBarPolicy(horizontal ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    t->setLineWrapMode(horizontal ? QPlainTextEdit::NoWrap : QPlainTextEdit::WidgetWidth);
    t->setTabChangesFocus(true);   // Tab leaves the box, as in a one-line box
    return t;
}

QPlainTextEdit* makeListing(QWidget* parent, const char* name, const QString& text, Tw r)
{
    QPlainTextEdit* t = makeMultiLine(parent, name, text, r);
    QPalette p = t->palette();
    p.setColor(QPalette::Text, formBlue());
    t->setPalette(p);
    return t;
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption, Tw r, QColor back)
{
    auto* b = named(new CommandButton(caption, parent), name, r);
    b->setAutoDefault(false);
    if (back.isValid()) {
        // Graphical style: the back colour shows, with a raised edge.
        b->setStyleSheet(QStringLiteral(
            "QPushButton { background-color: %1; border-width: 2px; border-style: outset;"
            " border-color: #ffffff #808080 #808080 #ffffff; padding: 1px; }"
            "QPushButton:pressed { border-style: inset; border-color: #808080 #ffffff #ffffff #808080; }"
            "QPushButton:focus { outline: 1px dotted black; }")
                             .arg(back.name()));
    }
    return b;
}

QGroupBox* makeFrame(QWidget* parent, const char* name, const QString& caption, Tw r, QColor back)
{
    // A frame is opaque: it hides what lies under it (a banner, the form's
    // picture) in its back colour, the button face unless one is given.
    auto* f = named(new QGroupBox(caption, parent), name, r);
    QPalette p = f->palette();
    p.setColor(QPalette::Window, back.isValid() ? back : buttonFace());
    f->setPalette(p);
    f->setAutoFillBackground(true);
    return f;
}

QComboBox* makeCombo(QWidget* parent, const char* name, const QStringList& items, const QString& text, Tw r)
{
    auto* c = named(new QComboBox(parent), name, r);
    c->setEditable(true);
    c->setInsertPolicy(QComboBox::NoInsert);
    c->addItems(items);
    c->setEditText(text);
    return c;
}

QRadioButton* makeOption(QWidget* parent, const char* name, const QString& caption, Tw r, bool selected)
{
    auto* o = named(new QRadioButton(caption, parent), name, r);
    o->setChecked(selected);
    return o;
}

QCheckBox* makeCheck(QWidget* parent, const char* name, const QString& caption, Tw r)
{
    return named(new QCheckBox(caption, parent), name, r);
}

ImageBox* makeImage(QWidget* parent, const char* name, const QString& picture, Tw r, const QString& toolTip)
{
    auto* i = named(new ImageBox(parent), name, r);
    if (!picture.isEmpty())
        i->loadPicture(picture);
    if (!toolTip.isEmpty())
        i->setToolTip(toolTip);
    return i;
}

LineShape* makeLine(QWidget* parent, const char* name, int x1, int y1, int x2, int y2, QColor colour)
{
    auto* l = new LineShape(parent, twPoint(x1, y1), twPoint(x2, y2), colour);
    l->setObjectName(QString::fromUtf8(name));
    return l;
}

DataGrid* makeGrid(QWidget* parent, const char* name, Tw r, QColor back)
{
    auto* g = named(new DataGrid(parent), name, r);
    if (back.isValid())
        setBackColor(g, back);
    return g;
}

}  // namespace quillmere::forms
