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

QPlainTextEdit* makeListing(QWidget* parent, const char* name, const QString& text, Tw r)
{
    auto* t = named(new QPlainTextEdit(text, parent), name, r);
    // A vertical scroll bar only: long lines wrap at the box's width.
    t->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    t->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    t->setLineWrapMode(QPlainTextEdit::WidgetWidth);
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
