// The main window: the MDI parent in which every task form opens maximized,
// with the menu that reaches each of them.
#pragma once

#include <QMainWindow>

class QAction;
class QMdiArea;
class QMenu;

namespace quillmere {

class MDIFormSMSystem : public QMainWindow {
    Q_OBJECT
public:
    // The one main window, created (not yet shown) on first use.
    static MDIFormSMSystem* instance();
    static bool exists();
    // Discards the main window and its children (tests).
    static void destroyInstance();

    // Shows the window; the first time, runs its Load: maximized, then the
    // picture menu opened maximized as its first child.
    void showMainWindow();
    void Form_Load();

    QMdiArea* mdiArea() const { return area_; }

    // The menu entry with this caption (menu titles included), or nullptr.
    QAction* menuEntry(const QString& caption) const;
    QList<QAction*> menuEntries() const;

protected:
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    MDIFormSMSystem();
    ~MDIFormSMSystem() override;
    QAction* addEntry(QMenu* menu, const char* name, const QString& caption, const char* shortcut,
                      void (MDIFormSMSystem::*handler)());
    QAction* addFormEntry(QMenu* menu, const char* name, const QString& caption, const char* shortcut,
                          const char* form);
    void buildMenus();

    void mnuChangePassword_Click();
    void mnuReport_Click();
    void mnuMenu_Click();
    void mnuExit_Click();

    QMdiArea* area_;
    bool loaded_ = false;
};

}  // namespace quillmere
