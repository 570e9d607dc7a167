#pragma once

#include <QSet>
#include <QString>

#include <optional>

namespace db {

// Turns the Jet dialect the program's queries are written in into SQL that SQLite runs
// with the same meaning:
//   #m/d/yyyy[ h:nn[:ss]]#            -> '<yyyy-mm-dd hh:mm:ss>' (the stored date form)
//   a & b                             -> ((jet_text(a) || jet_text(b)) COLLATE NOCASE), Null as ''
//                                        and dates as text, compared without case
//   True / False                      -> 1 / 0
//   DELETE <columns> FROM t WHERE ... -> DELETE FROM t WHERE ...
//   an alias reused later in the same SELECT list -> the aliased expression
// `columns` holds every column name of the database in lower case, so that an alias is only
// replaced where it names no real column.
struct JetTranslation {
    QString sql;
    QString error;  // set when the text cannot be translated
};
JetTranslation TranslateJetSql(const QString& jet, const QSet<QString>& columns = {});

}  // namespace db
