#pragma once

#include <QString>
#include <functional>

#include "platform/db/recordset.h"

// Export text of a record set, as the year-end files carry it. Each moves to the first row
// (failing, as the record set does, when there is none), reads to the end and leaves the
// record set there.

// A header line of the field names, then one line per row; values that hold a comma, a
// quote or a line break are quoted (RFC 4180), Null is written (NULL). Lines end in CR LF.
bool RecordsetToCsv(db::Recordset& rs, QString* text);
// The "dataroot" document desktop database programs import, one `rowName` element per row
// and one element per field (blanks in its name become "_"), declared and meant to be
// written as UTF-8. An empty row name gives the empty text and leaves the record set alone.
bool RecordsetToXml(db::Recordset& rs, const QString& rowName, QString* text);
// Both texts in one reading of the rows, handed to the sinks a piece at a time; either sink
// may be empty. False when the record set has no row or a sink refuses a piece.
using TextSink = std::function<bool(const QString& piece)>;
bool RecordsetToCsvAndXml(db::Recordset& rs, const TextSink& csv, const QString& rowName,
                          const TextSink& xml);
// The CSV header line alone, for a record set with no rows.
QString CsvHeader(db::Recordset& rs);
// The XML document around already written row elements.
QString XmlDataroot(const QString& rows);
// &, ", < and > as entities; characters XML 1.0 cannot hold are dropped.
QString XmlEscape(const QString& text);
