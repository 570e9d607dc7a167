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
//   a RIGHT JOIN b ON c               -> b LEFT JOIN a ON c (nested ones too; a SELECT *
//                                        over it lists the tables in their written order)
// `columns` holds every column name of the database in lower case, so that an alias is only
// replaced where it names no real column.
struct JetTranslation {
    QString sql;
    QString error;  // set when the text cannot be translated
};
// AsWritten keeps RIGHT JOINs, for comparing the two forms.
enum class OuterJoins { AsLeft, AsWritten };
JetTranslation TranslateJetSql(const QString& jet, const QSet<QString>& columns = {},
                               OuterJoins joins = OuterJoins::AsLeft);

}  // namespace db
