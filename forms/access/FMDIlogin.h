// The picture menu ("功能菜单"): the title, captions and lines, and thirteen
// pictures that open the task forms (the last one ends the program).
#pragma once

#include "forms/common/ChildForm.h"

#include <QMap>

class QLabel;

namespace quillmere {

namespace forms {
class ImageBox;
class LineShape;
}

class FMDIlogin : public forms::ChildForm {
    Q_OBJECT
public:
    FMDIlogin();

    forms::ImageBox* image(int n) const { return images_.value(n); }

    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QLabel* Label5;
    QLabel* Label6;

private:
    struct Picture {
        int number;
        int left, top, width, height;
        const char* toolTip;   // nullptr: none
        const char* opens;     // the form a click opens; nullptr: the exit question
        const char* onDown;    // files for MouseDown, MouseMove, MouseUp; nullptr: no handler
        const char* onMove;
        const char* onUp;
    };
    void addPicture(const Picture& p);
    void Image15_Click();

    QMap<int, forms::ImageBox*> images_;
};

}  // namespace quillmere
