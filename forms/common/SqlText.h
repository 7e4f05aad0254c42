// Joining typed values into SQL text. Every value a user typed goes through
// sqlValue() before it is put between the single quotes of a statement, so an
// apostrophe is stored as typed and can never end the literal early.
#pragma once

#include <QString>

#include <string>

namespace quillmere::forms {

// The text with each single quote doubled: O'Brien -> O''Brien.
inline QString sqlValue(const QString& typed)
{
    QString s = typed;
    s.replace(QLatin1Char('\''), QStringLiteral("''"));
    return s;
}

// Statement text as the data layer takes it (UTF-8).
inline std::string toSql(const QString& s) { return s.toStdString(); }
inline QString fromDb(const std::string& s) { return QString::fromStdString(s); }

}  // namespace quillmere::forms
