// Every message box of the program goes through msgBox(). Tests replace the
// answering function with a script (ScriptedMessageBoxes) that records each box.
#pragma once

#include <QList>
#include <QString>

#include <functional>

namespace quillmere::forms {

// Button sets and icon, as the forms pass them.
enum MsgStyle : int {
    vbOKOnly = 0,
    vbYesNo = 4,
    vbExclamation = 48,  // OK with the warning icon
};

// What a box returns.
enum MsgResult : int { vbOK = 1, vbYes = 6, vbNo = 7 };

enum class MsgIcon { None, Warning };

struct MessageRecord {
    QString text;
    int buttons = vbOKOnly;   // vbOKOnly or vbYesNo
    MsgIcon icon = MsgIcon::None;
    QString title;            // as shown: "Quillmere" when none was given
};

inline const QString kAppTitle = QStringLiteral("Quillmere");

// Shows a modal box and returns the button pressed (vbOK, vbYes or vbNo).
// style is vbOKOnly, vbYesNo or vbExclamation; an empty title shows "Quillmere".
int msgBox(const QString& text, int style = vbOKOnly, const QString& title = {});

using MessageHandler = std::function<int(const MessageRecord&)>;

// Replaces the function that shows boxes; returns the previous one. An empty
// handler restores the real modal QMessageBox.
MessageHandler setMessageHandler(MessageHandler h);

// For tests: records every box and answers from a queue (then OK for OK boxes,
// No for Yes/No boxes). Installed for its lifetime.
class ScriptedMessageBoxes {
public:
    ScriptedMessageBoxes();
    ~ScriptedMessageBoxes();
    ScriptedMessageBoxes(const ScriptedMessageBoxes&) = delete;
    ScriptedMessageBoxes& operator=(const ScriptedMessageBoxes&) = delete;

    void answerNext(int result);          // queue an answer (vbYes, vbNo, vbOK)
    // Runs when a box is shown, after it is recorded (e.g. to look at the forms
    // while the box would be up).
    void onShow(std::function<void(const MessageRecord&)> f);

    const QList<MessageRecord>& shown() const { return shown_; }
    QStringList texts() const;
    const MessageRecord& last() const { return shown_.back(); }
    int count() const { return static_cast<int>(shown_.size()); }
    void clear() { shown_.clear(); }

private:
    QList<MessageRecord> shown_;
    QList<int> answers_;
    std::function<void(const MessageRecord&)> onShow_;
    MessageHandler previous_;
};

}  // namespace quillmere::forms
