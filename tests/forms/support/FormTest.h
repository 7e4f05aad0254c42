// Shared set-up of the form tests: a private data folder for embedded
// databases, the pictures in a program folder of their own, fixture databases
// made from db/schema.sql, and a recorder for the end of the program.
#pragma once

#include <QString>
#include <QStringList>
#include <QTest>
#include <QWidget>

#include <functional>

namespace quillmere::test {

// Run before QApplication: private data folder, offscreen platform.
void prepareEnvironment();
// Run after QApplication: a program folder with a copy of image/ (the
// pictures' files may be removed there by a test).
void prepareProgramDir();
QString programFolder();

// Creates (or recreates) an embedded database from db/schema.sql and leaves
// Module1::cnn open on it. Extra statements run afterwards (e.g. fixture rows).
// Returns an empty string on success, else the error.
QString createDatabase(const QString& name, const QStringList& extra = {});
// Runs statements on Module1::cnn; empty string on success, else the error.
QString execute(const QStringList& statements);
// A single value read through a fresh record set (first column of the first row).
QString scalar(const QString& sql);
void closeConnection();

// Counts calls of endProgram while it lives (and keeps the program running).
class EndRecorder {
public:
    EndRecorder();
    ~EndRecorder();
    int count() const { return count_; }

private:
    int count_ = 0;
    std::function<void()> previous_;
};

// A child widget by object name, or a failed check.
template <class T>
T* child(const QObject* parent, const QString& name)
{
    return parent ? parent->findChild<T*>(name) : nullptr;
}

}  // namespace quillmere::test

#define QM_FORMS_TEST_MAIN(TestObject)                 \
    int main(int argc, char** argv)                    \
    {                                                  \
        quillmere::test::prepareEnvironment();         \
        QApplication app(argc, argv);                  \
        quillmere::test::prepareProgramDir();          \
        TestObject tc;                                 \
        return QTest::qExec(&tc, argc, argv);          \
    }
