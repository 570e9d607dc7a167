#pragma once

#include <QString>
#include <QVariant>
#include <QVector>

#include <functional>
#include <optional>
#include <vector>

#include "value.h"

namespace db {

// What a filter or sort needs to know of a record set's fields.
struct FieldLookup {
    // Index of the field with this name (any case), or -1.
    std::function<int(const QString&)> indexOf;
    std::function<Kind(int)> kindOf;
};

// Cells as a record set keeps them in memory: dates as detail::StoredDate, money as
// Currency, Yes/No as bool, numbers as int/qlonglong/double, text as QString, Null invalid.
using Cells = QVector<QVariant>;

// A record-set filter: comparisons "field op value" joined by AND and OR (any case; AND binds
// tighter), op one of
// = < > <= >=. Values are numbers, 'quoted text' (a doubled quote stands for one), #date#
// literals, undelimited dates and True/False. Text compares without case; Null matches no
// comparison.
class Filter {
public:
    struct Term {
        enum Op { Eq, Lt, Le, Gt, Ge } op = Eq;
        int field = -1;
        Kind kind = Kind::Unknown;
        // The literal, kept in the form the comparison needs.
        enum LitType { Number, Text, Date, Bool } litType = Number;
        double number = 0;
        QString text;
        qint64 dateKey = 0;
        bool boolean = false;
    };
    static std::optional<Filter> Parse(const QString& text, const FieldLookup& fields, QString* error);
    bool Matches(const Cells& cells) const;

    // How the engine names a field: empty when it cannot; `wholeNumbers` when it holds nothing
    // but whole numbers (a table's key).
    struct SqlField {
        QString name;
        bool wholeNumbers = false;
    };
    // Conditions for the engine that every row this filter matches meets, and maybe some
    // more (the rows read are filtered here as well): the terms the engine can test, one list
    // per group, the lists to be joined by OR. nullopt when a group has no such term, so that
    // every row has to be read. Dates are taken as stored, as year-first text.
    using SqlGroups = std::vector<std::vector<QString>>;
    std::optional<SqlGroups> SqlSuperset(const std::function<SqlField(int)>& fieldSql) const;

private:
    std::vector<std::vector<Term>> groups_;  // one group must hold in full
};

// "[a], b DESC, c ASC"
class SortOrder {
public:
    static std::optional<SortOrder> Parse(const QString& text, const FieldLookup& fields, QString* error);
    // True when a sorts before b.
    bool Less(const Cells& a, const Cells& b) const;
    bool empty() const { return keys_.empty(); }

private:
    struct Key {
        int index;
        Kind kind;
        bool descending;
    };
    std::vector<Key> keys_;
};

}  // namespace db
