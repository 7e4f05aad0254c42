#include "forms/common/MessageBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace quillmere::forms {

static int showRealBox(const MessageRecord& r)
{
    QMessageBox box(r.icon == MsgIcon::Warning ? QMessageBox::Warning : QMessageBox::NoIcon,
                    r.title, r.text, QMessageBox::NoButton, QApplication::activeWindow());
    box.setWindowModality(Qt::ApplicationModal);
    if (r.buttons == vbYesNo) {
        QPushButton* yes = box.addButton(QStringLiteral("是(&Y)"), QMessageBox::YesRole);
        box.addButton(QStringLiteral("否(&N)"), QMessageBox::NoRole);
        box.setDefaultButton(yes);
        box.exec();
        return box.clickedButton() == yes ? vbYes : vbNo;
    }
    box.addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
    box.exec();
    return vbOK;
}

static MessageHandler& handler()
{
    static MessageHandler h;
    return h;
}

int msgBox(const QString& text, int style, const QString& title)
{
    MessageRecord r;
    r.text = text;
    r.buttons = (style & 0x0F) == vbYesNo ? vbYesNo : vbOKOnly;
    r.icon = (style & 0xF0) == vbExclamation ? MsgIcon::Warning : MsgIcon::None;
    r.title = title.isEmpty() ? kAppTitle : title;
    if (handler())
        return handler()(r);
    return showRealBox(r);
}

MessageHandler setMessageHandler(MessageHandler h)
{
    MessageHandler old = std::move(handler());
    handler() = std::move(h);
    return old;
}

ScriptedMessageBoxes::ScriptedMessageBoxes()
{
    previous_ = setMessageHandler([this](const MessageRecord& r) {
        shown_.append(r);
        if (onShow_)
            onShow_(r);
        if (!answers_.isEmpty())
            return answers_.takeFirst();
        return r.buttons == vbYesNo ? int(vbNo) : int(vbOK);
    });
}

ScriptedMessageBoxes::~ScriptedMessageBoxes() { setMessageHandler(std::move(previous_)); }

void ScriptedMessageBoxes::answerNext(int result) { answers_.append(result); }

void ScriptedMessageBoxes::onShow(std::function<void(const MessageRecord&)> f) { onShow_ = std::move(f); }

QStringList ScriptedMessageBoxes::texts() const
{
    QStringList t;
    for (const auto& r : shown_)
        t << r.text;
    return t;
}

}  // namespace quillmere::forms
