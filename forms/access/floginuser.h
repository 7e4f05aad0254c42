// The user login: checks ID, password and role against userSystem, then opens
// the main window.
#pragma once

#include "db/Recordset.h"

#include <QPixmap>
#include <QString>
#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;

namespace quillmere {

namespace forms {
class ImageBox;
}
class MDIFormSMSystem;

class floginuser : public QWidget {
    Q_OBJECT
public:
    explicit floginuser(QWidget* parent = nullptr);
    ~floginuser() override;

    QString sql;
    db::Recordset rs;
    bool rsstate = false;

    forms::ImageBox* Image1;
    QLabel* Label1;
    QLineEdit* Text1;
    QLabel* Label2;
    QLineEdit* Text2;
    forms::ImageBox* Image3;
    QLabel* Label3;
    QComboBox* Combo1;
    forms::ImageBox* Image2;

    // The log-in check (a click on the login picture).
    void Image2_Click();

protected:
    void paintEvent(QPaintEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    QPixmap background_;
};

}  // namespace quillmere
