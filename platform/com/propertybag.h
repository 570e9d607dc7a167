#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QVariant>

namespace com {

// The container's store of a control's saved state: named values, read with a default and
// written against one (a value equal to its default is left out). Names compare without case.
// The bag is kept as text in the host window's design data, one "Name = value" line each:
// text in double quotes (JSON escapes), whole numbers in decimal, True/False, and binary data
// (pictures) as base64 inside b64"...".
class PropertyBag {
public:
    // The value stored under `name`, or `defaultValue` when there is none.
    QVariant ReadProperty(const QString& name, const QVariant& defaultValue = QVariant()) const;
    // Stores `value`; removes the entry instead when `value` equals `defaultValue` (an invalid
    // default never equals anything, so the value is always written).
    void WriteProperty(const QString& name, const QVariant& value,
                       const QVariant& defaultValue = QVariant());
    bool Contains(const QString& name) const;
    bool IsEmpty() const { return entries_.isEmpty(); }
    int Count() const { return int(entries_.size()); }
    QStringList Names() const;

    QString ToText() const;
    // Replaces the contents with the lines of `text`. Blank lines are skipped. On a malformed
    // line nothing is replaced, false is returned and `error` names the line.
    bool FromText(const QString& text, QString* error = nullptr);

    // The form in which a bag crosses to a control (only Qt types): a list of [name, value] pairs
    // in writing order.
    QVariantList ToVariant() const;
    static PropertyBag FromVariant(const QVariantList& list);

    bool operator==(const PropertyBag& other) const { return entries_ == other.entries_; }

private:
    int IndexOf(const QString& name) const;
    QList<QPair<QString, QVariant>> entries_;
};

}  // namespace com
