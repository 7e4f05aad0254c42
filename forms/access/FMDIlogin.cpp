#include "forms/access/FMDIlogin.h"

#include "forms/common/Controls.h"
#include "forms/common/ImageBox.h"
#include "forms/common/LineShape.h"
#include "forms/common/Mdi.h"
#include "forms/common/MessageBox.h"
#include "forms/common/Program.h"
#include "forms/common/Style.h"

#include <QLabel>

namespace quillmere {

using namespace forms;

QUILLMERE_REGISTER_FORM(FMDIlogin);

static QLabel* caption(QWidget* parent, const char* name, const QString& text, Tw r, Qt::Alignment align)
{
    QLabel* l = makeLabel(parent, name, text, r, align);
    l->setAttribute(Qt::WA_TransparentForMouseEvents);
    return l;
}

FMDIlogin::FMDIlogin() : ChildForm("FMDIlogin", QStringLiteral("Quillmere"))
{
    setDesignSize(15240, 10095);

    // Decorations first, so that the captions lie over them.
    makeImage(this, "Image13", QStringLiteral("title_Image13.jpg"), {2760, 1080, 10185, 735})
        ->setAttribute(Qt::WA_TransparentForMouseEvents);
    makeImage(this, "Image5", QStringLiteral("caption_Image5.gif"), {6600, 1800, 1860, 660})
        ->setAttribute(Qt::WA_TransparentForMouseEvents);

    const Picture pictures[] = {
        {1, 9840, 4800, 1770, 1500, "修改学生记录", "fStudentlaws", "sdelete1.gif", "sdelete1.gif", "sdelete2.gif"},
        {2, 6000, 2880, 1500, 1500, "用户管理", "fuser", "user.gif", "user2.gif", "user1.gif"},
        {3, 3120, 4800, 1680, 1500, "课程管理", "Fcourse", "c1.gif", "c1.gif", "c2.gif"},
        {4, 6360, 5400, 2265, 1500, nullptr, "FfreeSelect", "FREES.gif", "FREES2.gif", "FREES.gif"},
        {6, 7800, 2880, 1500, 1500, "系部表的设置", "Fdpartment", "dp1.gif", "dp1.gif", "dp2.gif"},
        {7, 7200, 8280, 2145, 1500, nullptr, "fteacherLaws", "tDelete1.gif", "tDelete2.gif", "tDelete2.gif"},
        {8, 10320, 6240, 1500, 1500, "添加学生记录", "FStudentADD", "studentADD1.gif", "studentADD2.gif",
         "studentADD1.gif"},
        {9, 4800, 8160, 1680, 1500, "统计管理", "Faccount", "ACCOUNT1.gif", "ACCOUNT2.gif", "ACCOUNT1.gif"},
        {10, 10080, 3240, 1500, 1230, "专业表的设置", "Fspeciality", "sp1.gif", "sp1.gif", "sp2.gif"},
        {11, 9720, 8040, 1500, 1500, nullptr, "FteacherADD", "TADD2.gif", "TADD1.gif", "TADD2.gif"},
        {12, 3000, 6600, 2265, 1500, "补考信息管理", "freexamination", "Ree1.gif", "Ree2.gif", nullptr},
        {14, 3840, 3120, 1680, 1500, "成绩管理", "FSelectInfoView", "G.gif", "G1.gif", "G2.gif"},
        {15, 13080, 8400, 2025, 1575, "退出系统", nullptr, nullptr, nullptr, nullptr},
    };
    for (const Picture& p : pictures)
        addPicture(p);

    Label1 = makeTitle(this, "Label1", QStringLiteral("Quillmere"), {1440, 600, 12855, 1695},
                       QStringLiteral("华文行楷"), 72, true);
    Label1->setAttribute(Qt::WA_TransparentForMouseEvents);
    Label6 = caption(this, "Label6", QStringLiteral("功能菜单"), {6840, 2160, 1335, 375}, Qt::AlignHCenter);
    Label6->setFont(cjkFont(QStringLiteral("宋体"), 10.5, true));
    QPalette orange = Label6->palette();
    orange.setColor(QPalette::WindowText, rgb(0xFF8000));
    Label6->setPalette(orange);
    Label4 = caption(this, "Label4", QStringLiteral("视图的应用"), {2040, 3600, 1455, 735}, Qt::AlignRight);
    Label3 = caption(this, "Label3", QStringLiteral("触发器的应用"), {1560, 7320, 1335, 495}, Qt::AlignRight);
    Label2 = caption(this, "Label2", QStringLiteral("存储过程的应用"), {2760, 9360, 1815, 975}, Qt::AlignRight);
    Label5 = caption(this, "Label5", QStringLiteral("基本SQL语句的应用"), {12480, 6360, 1935, 975}, Qt::AlignLeft);

    const struct {
        const char* name;
        int x1, y1, x2, y2;
    } lines[] = {
        {"Line1", 5280, 9600, 3000, 9600},
        {"Line2", 3000, 7680, 1560, 7680},
        {"Line3", 3960, 3840, 2400, 3840},
        {"Line4", 8400, 9720, 12480, 9720},
        {"Line5", 12480, 3360, 12480, 9720},
        {"Line6", 11280, 8880, 12480, 8880},
        {"Line7", 11880, 6960, 12480, 6960},
        {"Line8", 11640, 5760, 12480, 5760},
        {"Line9", 11640, 3360, 12480, 3360},
        {"Line10", 12480, 6600, 14400, 6600},
        {"Line12", 6600, 2280, 4920, 3120},
        {"Line13", 8400, 2280, 10200, 3360},
    };
    for (const auto& l : lines)
        makeLine(this, l.name, l.x1, l.y1, l.x2, l.y2);

    // The pictures lie over the lines and captions.
    for (ImageBox* i : images_)
        i->raise();
}

void FMDIlogin::addPicture(const Picture& p)
{
    const QByteArray name = "Image" + QByteArray::number(p.number);
    ImageBox* img = makeImage(this, name.constData(), QStringLiteral("stored_%1.gif").arg(QString::fromLatin1(name)),
                              {p.left, p.top, p.width, p.height},
                              p.toolTip ? QString::fromUtf8(p.toolTip) : QString());
    img->setCursor(Qt::PointingHandCursor);
    images_.insert(p.number, img);

    // Each event loads its file from the image folder, when the event was given one.
    auto swap = [img](const char* file) {
        const QString f = QString::fromLatin1(file);
        return [img, f] { img->loadPicture(f); };
    };
    if (p.onDown)
        connect(img, &ImageBox::mouseDown, this, swap(p.onDown));
    if (p.onMove)
        connect(img, &ImageBox::mouseMove, this, swap(p.onMove));
    if (p.onUp)
        connect(img, &ImageBox::mouseUp, this, swap(p.onUp));
    if (p.opens) {
        const QString form = QString::fromLatin1(p.opens);
        connect(img, &ImageBox::clicked, this, [form] { mdi::open(form); });
    } else {
        connect(img, &ImageBox::clicked, this, &FMDIlogin::Image15_Click);
    }
}

void FMDIlogin::Image15_Click()
{
    if (msgBox(QStringLiteral("真的要退出系统吗？"), vbYesNo, QStringLiteral("退出窗口")) == vbYes)
        endProgram();
}

}  // namespace quillmere
