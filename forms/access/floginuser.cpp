#include "forms/access/floginuser.h"

#include "app/Module1.h"
#include "forms/access/MDIFormSMSystem.h"
#include "forms/common/ChildForm.h"
#include "forms/common/Controls.h"
#include "forms/common/DbMessage.h"
#include "forms/common/ImageBox.h"
#include "forms/common/MessageBox.h"
#include "forms/common/Program.h"
#include "forms/common/SqlText.h"
#include "forms/common/Style.h"
#include "forms/common/Twips.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>

namespace quillmere {

using namespace forms;

floginuser::floginuser(QWidget* parent) : QWidget(parent), background_(ChildForm::sharedBackground())
{
    setObjectName(QStringLiteral("floginuser"));
    setWindowTitle(QStringLiteral("Quillmere"));
    setFont(defaultFormFont());
    setFixedSize(twSize(5745, 4650));
    move(twPoint(4830, 3945));

    Image1 = makeImage(this, "Image1", QStringLiteral("floginuser_banner.jpg"), {-120, -360, 6000, 3000});
    Label1 = makeLabel(this, "Label1", QStringLiteral("用户ID："), {240, 2280, 1335, 375}, Qt::AlignRight);
    Text1 = makeTextBox(this, "Text1", QString(), {1560, 2280, 2175, 375});
    Label2 = makeLabel(this, "Label2", QStringLiteral("密码："), {600, 2880, 975, 255}, Qt::AlignRight);
    Text2 = makeTextBox(this, "Text2", QString(), {1560, 2760, 2175, 375});
    setPasswordChar(Text2);
    Image3 = makeImage(this, "Image3", QStringLiteral("key.gif"), {5040, 2640, 600, 555});
    Label3 = makeLabel(this, "Label3", QStringLiteral("身份："), {720, 3360, 855, 495}, Qt::AlignRight);
    Combo1 = makeCombo(this, "Combo1",
                       {QStringLiteral("管理员"), QStringLiteral("教师"), QStringLiteral("学生"), QStringLiteral("游客")},
                       QStringLiteral("管理员"), {1560, 3240, 2175, 300});
    Image2 = makeImage(this, "Image2", QStringLiteral("login_button.gif"), {1920, 3960, 1305, 435});
    Image2->setCursor(Qt::PointingHandCursor);

    connect(Image2, &ImageBox::clicked, this, &floginuser::Image2_Click);
}

floginuser::~floginuser() = default;

void floginuser::Image2_Click()
{
    if (Text1->text().isEmpty()) {
        msgBox(QStringLiteral("请输入你的用户名！"));
        return;
    }
    sql = QStringLiteral("select * from userSystem where userID = '") + sqlValue(Text1->text())
          + QStringLiteral("' and userPWD = '") + sqlValue(Text2->text()) + QStringLiteral("' and userRule= '")
          + sqlValue(Combo1->currentText()) + QStringLiteral("'");
    if (rsstate && rs.isOpen())
        rs.close();
    rsstate = false;
    try {
        rs.open(toSql(sql), Module1::cnn);
    } catch (const db::DbError& e) {
        rsstate = rs.isOpen();
        showDbError(e);
        return;
    }
    rsstate = rs.isOpen();
    if (rsstate && rs.recordCount() > 0) {
        msgBox(QStringLiteral("欢迎使用Quillmere！！ "));
        MDIFormSMSystem::instance()->showMainWindow();
        hide();
        return;
    }
    msgBox(QStringLiteral(" 你输入的用户密或密码有错误码，请重新输入"));
    Text1->setFocus();
}

void floginuser::paintEvent(QPaintEvent*)
{
    if (background_.isNull())
        return;
    QPainter p(this);
    p.drawPixmap(0, 0, background_);
}

void floginuser::closeEvent(QCloseEvent* e)
{
    e->accept();
    endProgram();
}

}  // namespace quillmere
