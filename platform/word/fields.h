#pragma once

#include <QMap>
#include <QString>
#include <QStringList>
#include <pugixml.hpp>

// Merge fields in one part of a document (the body, a header, a footer, the notes), in the
// simple form (w:fldSimple) and the complex one (w:fldChar begin, instruction, separate,
// result, end, each possibly in runs of its own or sharing one). Internal to the word layer.
namespace word::detail {

// Appends the names of the merge fields below `root`, in document order, nested ones included.
void AppendMergeFieldNames(const pugi::xml_node& root, QStringList* names);

// Replaces each merge field below `root` by the record's value for its name (`record` keyed in
// lower case; a missing name gives nothing), and each IF field that holds one by the text it
// chooses. A merge field inside another field's instruction becomes instruction text, so that
// the outer field reads the value. The text put in is taken from `budget` (characters); when
// it would go beyond, no field is replaced and the result is false.
bool MergeRecord(pugi::xml_node root, const QMap<QString, QString>& record, qint64* budget);

}  // namespace word::detail
