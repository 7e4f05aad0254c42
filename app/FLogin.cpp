#include "app/FLogin.h"

#include "app/Module1.h"
#include "forms/access/floginuser.h"
#include "forms/common/Controls.h"
#include "forms/common/DbMessage.h"
#include "forms/common/ImageBox.h"
#include "forms/common/LineShape.h"
#include "forms/common/MessageBox.h"
#include "forms/common/Program.h"
#include "forms/common/SqlText.h"
#include "forms/common/Style.h"
#include "forms/common/Twips.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace quillmere {

using namespace forms;

FLogin::FLogin(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("FLogin"));
    setWindowTitle(QStringLiteral("服务器登录"));
    setFont(defaultFormFont());
    setFixedSize(twSize(5895, 4995));
    move(twPoint(4830, 3540));

    Image1 = makeImage(this, "Image1", QStringLiteral("flogin_banner.jpg"), {0, 0, 6000, 1230});
    Frame1 = makeFrame(this, "Frame1", QString(), {0, 960, 6375, 3375});
    Label1 = makeLabel(Frame1, "Label1", QStringLiteral("服务器名"), {360, 360, 1095, 375}, Qt::AlignRight);
    Text1 = makeTextBox(Frame1, "Text1", QString(), {1560, 240, 2535, 375});
    Label2 = makeLabel(Frame1, "Label2", QStringLiteral("数据库名"), {600, 960, 855, 255}, Qt::AlignRight);
    Text2 = makeTextBox(Frame1, "Text2", QString(), {1560, 840, 2535, 375});
    Line1 = makeLine(Frame1, "Line1", 0, 1320, 6360, 1320, rgb(0xFF8080));
    Option1 = makeOption(Frame1, "Option1", QStringLiteral("Windows身份验证"), {600, 1440, 3255, 255}, true);
    Option2 = makeOption(Frame1, "Option2", QStringLiteral("SQL Server身份验证"), {600, 1800, 2895, 255});
    Label3 = makeLabel(Frame1, "Label3", QStringLiteral("用户名"), {600, 2280, 735, 375}, Qt::AlignRight);
    Text3 = makeTextBox(Frame1, "Text3", QString(), {1560, 2160, 2535, 375});
    Image2 = makeImage(Frame1, "Image2", QStringLiteral("key.gif"), {4320, 2160, 600, 555});
    Label4 = makeLabel(Frame1, "Label4", QStringLiteral("密码"), {480, 2880, 855, 375}, Qt::AlignRight);
    Text4 = makeTextBox(Frame1, "Text4", QString(), {1560, 2760, 2535, 375});
    Command1 = makeButton(this, "Command1", QStringLiteral("连接"), {360, 4320, 1575, 375}, buttonFace());
    Command2 = makeButton(this, "Command2", QStringLiteral("退出"), {2880, 4320, 1575, 375}, buttonFace());

    connect(Option1, &QRadioButton::toggled, this, [this](bool on) { if (on) Option1_Click(); });
    connect(Option2, &QRadioButton::toggled, this, [this](bool on) { if (on) Option2_Click(); });
    connect(Command1, &QPushButton::clicked, this, &FLogin::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &FLogin::Command2_Click);

    Form_Load();
}

FLogin::~FLogin() { delete floginuser_; }

void FLogin::windowsAuthentication()
{
    Text3->setEnabled(false);
    Text4->setEnabled(false);
    Label4->setEnabled(false);
    Label3->setEnabled(false);
    Text3->setText(QString());
    Text4->setText(QString());
    setBackColor(Text3, buttonFace());
    setBackColor(Text4, buttonFace());
}

void FLogin::Form_Load()
{
    windowsAuthentication();
    Text1->setText(QString());
    Text2->setText(QStringLiteral("Quillmere"));
}

void FLogin::Option1_Click()
{
    if (Option1->isChecked())
        windowsAuthentication();
}

void FLogin::Option2_Click()
{
    if (!Option2->isChecked())
        return;
    Text3->setEnabled(true);
    Text4->setEnabled(true);
    Label4->setEnabled(true);
    Label3->setEnabled(true);
    setBackColor(Text3, rgb(0xFFFFFF));
    setBackColor(Text4, rgb(0xFFFFFF));
}

QString FLogin::connectionString() const
{
    if (Option2->isChecked() && !Text3->text().isEmpty() && !Text4->text().isEmpty())
        return QStringLiteral("Provider=SQLOLEDB.1;Persist Security Info=False;User ID=") + Text3->text()
               + QStringLiteral(" ;pwd=") + Text4->text() + QStringLiteral(";Initial Catalog=") + Text2->text()
               + QStringLiteral(";Data Source=") + Text1->text();
    return QStringLiteral("Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False;Initial Catalog=")
           + Text2->text() + QStringLiteral(";Data Source=") + Text1->text();
}

void FLogin::Command1_Click()
{
    if (Text1->text().isEmpty() || Text2->text().isEmpty()) {
        msgBox(QStringLiteral("请填写服务器名和数据库名！！"), vbOKOnly, QStringLiteral("警告"));
        return;
    }
    using Module1::cnn;
    try {
        if (cnn.isOpen())
            cnn.close();
        cnn.setConnectionString(toSql(connectionString()));
        cnn.setCursorLocation(db::CursorLocation::Client);
        cnn.open();
    } catch (const db::DbError& e) {
        showDbError(e);
        return;
    }
    if (!floginuser_)
        floginuser_ = new floginuser;
    floginuser_->show();
    hide();
}

void FLogin::Command2_Click() { endProgram(); }

void FLogin::closeEvent(QCloseEvent* e)
{
    e->accept();
    endProgram();
}

}  // namespace quillmere
