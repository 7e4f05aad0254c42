#include "tests/forms/support/FormTest.h"

#include "app/Module1.h"
#include "db/Recordset.h"
#include "forms/common/Program.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace quillmere::test {

static QTemporaryDir& dataDir()
{
    static QTemporaryDir d;
    return d;
}

static QTemporaryDir& progDir()
{
    static QTemporaryDir d;
    return d;
}

void prepareEnvironment()
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const QByteArray data = dataDir().path().toUtf8();
    qputenv("QUILLMERE_DATA_DIR", data + "/quillmere");
    qputenv("XDG_DATA_HOME", data);
    QDir().mkpath(dataDir().path() + "/quillmere");
}

void prepareProgramDir()
{
    const QString from = QStringLiteral(QM_SOURCE_DIR "/image");
    const QString to = progDir().path() + "/image";
    QDir().mkpath(to);
    for (const QString& f : QDir(from).entryList(QDir::Files))
        QFile::copy(from + "/" + f, to + "/" + f);
    forms::setProgramDir(progDir().path());
}

QString programFolder() { return progDir().path(); }

static QString embedded(const QString& catalog)
{
    return QStringLiteral("Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False;"
                          "Initial Catalog=%1;Data Source=(embedded)")
        .arg(catalog);
}

void closeConnection()
{
    if (Module1::cnn.isOpen())
        Module1::cnn.close();
}

QString execute(const QStringList& statements)
{
    try {
        for (const QString& s : statements)
            Module1::cnn.execute(s.toStdString());
    } catch (const db::DbError& e) {
        return QString::fromStdString(e.text());
    }
    return {};
}

QString createDatabase(const QString& name, const QStringList& extra)
{
    using Module1::cnn;
    closeConnection();
    QFile::remove(dataDir().path() + "/quillmere/" + name + ".db");
    try {
        cnn.setConnectionString("Provider=SQLOLEDB.1;Integrated Security=SSPI;Data Source=(embedded)");
        cnn.setCursorLocation(db::CursorLocation::Client);
        cnn.open();
        cnn.execute(("CREATE DATABASE " + name).toStdString());
        cnn.close();
        cnn.setConnectionString(embedded(name).toStdString());
        cnn.open();
    } catch (const db::DbError& e) {
        return QStringLiteral("connect: ") + QString::fromStdString(e.text());
    }
    QFile schema(QStringLiteral(QM_SOURCE_DIR "/db/schema.sql"));
    if (!schema.open(QIODevice::ReadOnly))
        return QStringLiteral("no db/schema.sql");
    const QString text = QString::fromUtf8(schema.readAll());
    static const QRegularExpression go(QStringLiteral("^\\s*GO\\s*$"),
                                       QRegularExpression::MultilineOption | QRegularExpression::CaseInsensitiveOption);
    QStringList batches;
    for (const QString& b : text.split(go))
        if (!b.trimmed().isEmpty())
            batches << b;
    if (QString err = execute(batches); !err.isEmpty())
        return QStringLiteral("schema: ") + err;
    return execute(extra);
}

QString scalar(const QString& sql)
{
    try {
        db::Recordset r;
        r.open(sql.toStdString(), Module1::cnn);
        if (!r.isOpen() || r.eof())
            return QStringLiteral("<no row>");
        return QString::fromStdString(r.fieldText(0));
    } catch (const db::DbError& e) {
        return QStringLiteral("<error %1>").arg(QString::fromStdString(e.text()));
    }
}

EndRecorder::EndRecorder()
{
    previous_ = forms::setEndProgramHandler([this] { ++count_; });
}

EndRecorder::~EndRecorder() { forms::setEndProgramHandler(std::move(previous_)); }

}  // namespace quillmere::test
