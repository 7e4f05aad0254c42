// The server login: names the server and the database, chooses the
// authentication, and opens the program's connection.
#pragma once

#include "forms/access/floginuser.h"

#include <QPointer>
#include <QString>
#include <QWidget>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace quillmere {

namespace forms {
class ImageBox;
class LineShape;
}

class FLogin : public QWidget {
    Q_OBJECT
public:
    explicit FLogin(QWidget* parent = nullptr);
    ~FLogin() override;

    void Form_Load();

    // The connection string the fields give (the SQL Server form when
    // Option2 is selected and both login fields are filled, else the Windows form).
    QString connectionString() const;

    floginuser* userLogin() const { return floginuser_; }

    forms::ImageBox* Image1;
    QGroupBox* Frame1;
    QLabel* Label1;
    QLineEdit* Text1;
    QLabel* Label2;
    QLineEdit* Text2;
    forms::LineShape* Line1;
    QRadioButton* Option1;
    QRadioButton* Option2;
    QLabel* Label3;
    QLineEdit* Text3;
    forms::ImageBox* Image2;
    QLabel* Label4;
    QLineEdit* Text4;
    QPushButton* Command1;
    QPushButton* Command2;

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void Option1_Click();
    void Option2_Click();
    void Command1_Click();
    void Command2_Click();
    void windowsAuthentication();

    QPointer<floginuser> floginuser_;
};

}  // namespace quillmere
