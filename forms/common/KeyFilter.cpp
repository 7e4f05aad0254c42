#include "forms/common/KeyFilter.h"

#include "app/Module1.h"
#include "forms/common/MessageBox.h"

#include <QCoreApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QWidget>

namespace quillmere::forms {

KeyPressFilter::KeyPressFilter(QWidget* box, KeyPressHandler h) : QObject(box), handler_(std::move(h))
{
    box->installEventFilter(this);
}

bool KeyPressFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::InputMethod) {
        // Text composed by an input method is typed text too: every character
        // must pass, else the whole commit is dropped.
        auto* im = static_cast<QInputMethodEvent*>(event);
        for (char32_t c : im->commitString().toUcs4()) {
            if (handler_(int(c)) != int(c))
                return true;
        }
        return false;
    }
    if (event->type() != QEvent::KeyPress)
        return false;
    auto* ke = static_cast<QKeyEvent*>(event);
    if (ke->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    // Tab moves the focus and Delete edits: neither is a typed character, even
    // where the platform gives them a text ("\t", DEL).
    if (ke->key() == Qt::Key_Tab || ke->key() == Qt::Key_Backtab || ke->key() == Qt::Key_Delete)
        return false;
    QString text = ke->text();
    // Backspace and Enter are typed characters too.
    if (text.isEmpty()) {
        if (ke->key() == Qt::Key_Backspace)
            text = QString(QChar(8));
        else if (ke->key() == Qt::Key_Return || ke->key() == Qt::Key_Enter)
            text = QString(QChar(13));
    }
    if (text.size() != 1 && !(text.size() == 2 && text.at(0).isHighSurrogate()))
        return false;
    const int code = text.size() == 1 ? text.at(0).unicode() : int(text.toUcs4().value(0));
    const int result = handler_(code);
    if (result == 0)
        return true;
    if (result == code)
        return false;
    // The handler replaced the character: deliver the replacement instead.
    QKeyEvent replaced(QEvent::KeyPress, 0, Qt::NoModifier, QString(QChar(char16_t(result))));
    QCoreApplication::sendEvent(watched, &replaced);
    return true;
}

void setKeyPress(QWidget* box, KeyPressHandler h) { new KeyPressFilter(box, std::move(h)); }

void setDigitFilter(QWidget* box)
{
    setKeyPress(box, [](int code) {
        if (Module1::IsDigitKey(code))
            return code;
        msgBox(QStringLiteral("请输入阿拉伯数字"), vbOKOnly, QStringLiteral("提示"));
        return 0;
    });
}

}  // namespace quillmere::forms
