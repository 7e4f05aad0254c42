// Opening forms by name inside the main window. Each form registers itself
// with QUILLMERE_REGISTER_FORM in its own .cpp file; the main window's menu and
// picture menu open forms only through mdi::open(), so forms never include one
// another. Opening a name that no form registered does nothing.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QMainWindow;
class QMdiArea;
class QMdiSubWindow;

namespace quillmere::forms {

class ChildForm;

using FormFactory = std::function<ChildForm*()>;

namespace mdi {

void registerForm(const QString& name, FormFactory factory);
bool isRegistered(const QString& name);
QStringList registeredForms();

// The main window and its client area; set by the main window.
void setHost(QMainWindow* main, QMdiArea* area);
QMainWindow* mainWindow();
QMdiArea* area();

// Shows the named form maximized inside the main window: loads it (runs its
// Load) when it is not loaded, else brings it to the front and maximizes it
// again. Returns the form, or nullptr when no such form exists (or no main window).
ChildForm* open(const QString& name);

ChildForm* find(const QString& name);   // the loaded form of that name, or nullptr
QMdiSubWindow* windowOf(ChildForm* f);

// Discards the form and its window.
void unload(ChildForm* f);

// Shows the main window (the end of a task form's "返回").
void showMainWindow();

}  // namespace mdi

struct FormRegistration {
    FormRegistration(const char* name, FormFactory factory);
};

}  // namespace quillmere::forms

#define QUILLMERE_REGISTER_FORM(Class)                                                    \
    static const ::quillmere::forms::FormRegistration qmFormRegistration_##Class(        \
        #Class, []() -> ::quillmere::forms::ChildForm* { return new Class; })
