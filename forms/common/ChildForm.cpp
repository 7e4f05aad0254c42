#include "forms/common/ChildForm.h"

#include "forms/common/Mdi.h"
#include "forms/common/Program.h"
#include "forms/common/Style.h"
#include "forms/common/Twips.h"

#include <QPainter>

namespace quillmere::forms {

ChildForm::ChildForm(const char* name, const QString& caption, QWidget* parent)
    : QWidget(parent), background_(sharedBackground())
{
    setObjectName(QString::fromUtf8(name));
    setWindowTitle(caption);
    setFont(defaultFormFont());
    setAutoFillBackground(true);
}

void ChildForm::setDesignSize(int widthTw, int heightTw)
{
    resize(twSize(widthTw, heightTw));
    setMinimumSize(0, 0);
}

void ChildForm::unload() { mdi::unload(this); }

QPixmap ChildForm::sharedBackground()
{
    // Kept for the program's lifetime (never destroyed after the application object).
    static const QPixmap* p = new QPixmap(loadPicture(QStringLiteral("background.jpg")));
    return *p;
}

void ChildForm::paintEvent(QPaintEvent*)
{
    if (background_.isNull())
        return;
    QPainter p(this);
    p.drawTiledPixmap(rect(), background_);
}

}  // namespace quillmere::forms
