// Quillmere starts on the server login.
#include "app/FLogin.h"
#include "forms/common/Style.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillmere"));
    QApplication::setFont(quillmere::forms::defaultFormFont());

    quillmere::FLogin login;
    login.show();
    return app.exec();
}
