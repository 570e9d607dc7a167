#include "filter.h"

#include "internal.h"

#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace db {

namespace {

using Term = Filter::Term;

std::optional<double> ToNumber(const QVariant& v) {
    if (IsNull(v)) return std::nullopt;
    switch (v.metaType().id()) {
        case QMetaType::Int:
        case QMetaType::LongLong:
        case QMetaType::Double:
            return v.toDouble();
        case QMetaType::Bool:
            return v.toBool() ? -1.0 : 0.0;
        case QMetaType::QString:
            return detail::ParseNumber(v.toString());
        default:
            if (v.metaType() == QMetaType::fromType<Currency>()) return v.value<Currency>().toDouble();
            return std::nullopt;
    }
}

template <typename T>
int Cmp(const T& a, const T& b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

// Compares a cell with a filter literal; nullopt when the two cannot be compared.
std::optional<int> CompareWithLiteral(const QVariant& cell, const Term& t) {
    Kind kind = t.kind;
    if (kind == Kind::Unknown) {
        switch (cell.metaType().id()) {
            case QMetaType::QString: kind = Kind::Text; break;
            case QMetaType::Bool: kind = Kind::YesNo; break;
            case QMetaType::Double: kind = Kind::Double; break;
            default:
                kind = cell.metaType() == QMetaType::fromType<Currency>() ? Kind::Currency : Kind::Integer;
        }
    }
    switch (t.litType) {
        case Term::Date: {
            const auto d = detail::DateKey(cell);
            if (!d) return std::nullopt;
            return Cmp(*d, t.dateKey);
        }
        case Term::Bool: {
            const auto x = ToNumber(cell);
            if (!x) return std::nullopt;
            return Cmp(*x != 0, t.boolean);
        }
        case Term::Number: {
            if (kind == Kind::YesNo) {
                const bool b = cell.toBool();
                return Cmp(b ? (t.number < 0 ? -1.0 : 1.0) : 0.0, t.number);
            }
            if (kind == Kind::Text) {
                if (const auto x = ToNumber(cell)) return Cmp(*x, t.number);
                return cell.toString().compare(t.text, Qt::CaseInsensitive);
            }
            const auto x = ToNumber(cell);
            if (!x) return std::nullopt;
            return Cmp(*x, t.number);
        }
        case Term::Text: {
            if (kind == Kind::Text) return cell.toString().compare(t.text, Qt::CaseInsensitive);
            if (kind == Kind::DateTime) return std::nullopt;  // text that is no date
            if (kind == Kind::YesNo) {
                if (t.text.compare(u"True", Qt::CaseInsensitive) == 0) return Cmp(cell.toBool(), true);
                if (t.text.compare(u"False", Qt::CaseInsensitive) == 0) return Cmp(cell.toBool(), false);
            }
            // A quoted number against a number field ([Invoice Number] = '17').
            const auto x = ToNumber(cell);
            const auto y = detail::ParseNumber(t.text);
            if (!x || !y) return std::nullopt;
            return Cmp(*x, *y);
        }
    }
    return std::nullopt;
}

bool Holds(const Term& t, const Cells& cells) {
    const QVariant& cell = cells.at(t.field);
    if (IsNull(cell)) return false;
    const auto c = CompareWithLiteral(cell, t);
    if (!c) return false;
    switch (t.op) {
        case Term::Eq: return *c == 0;
        case Term::Lt: return *c < 0;
        case Term::Le: return *c <= 0;
        case Term::Gt: return *c > 0;
        case Term::Ge: return *c >= 0;
    }
    return false;
}

class Parser {
public:
    Parser(const QString& text, const FieldLookup& fields) : s_(text), fields_(fields) {}

    // Comparisons joined by AND, groups of them joined by OR (AND binds tighter).
    std::optional<std::vector<std::vector<Term>>> Run(QString* error) {
        std::vector<std::vector<Term>> groups;
        bool ok = true;
        do {
            std::vector<Term>& terms = groups.emplace_back();
            do {
                Term t;
                if (!(ok = ParseComparison(t))) break;
                terms.push_back(t);
            } while (Word("and"));
        } while (ok && Word("or"));
        SkipSpace();
        if (pos_ < s_.size()) Fail(QStringLiteral("unexpected text '%1'").arg(s_.mid(pos_)));
        if (!error_.isEmpty()) {
            if (error) *error = QStringLiteral("Invalid filter \"%1\": %2").arg(s_, error_);
            return std::nullopt;
        }
        return groups;
    }

private:
    bool Fail(const QString& why) {
        if (error_.isEmpty()) error_ = why;
        return false;
    }
    void SkipSpace() {
        while (pos_ < s_.size() && s_[pos_].isSpace()) ++pos_;
    }
    bool Word(const char* w) {
        SkipSpace();
        const qsizetype n = static_cast<qsizetype>(strlen(w));
        if (QStringView(s_).mid(pos_, n).compare(QLatin1String(w), Qt::CaseInsensitive) != 0) return false;
        if (pos_ + n < s_.size() && (s_[pos_ + n].isLetterOrNumber() || s_[pos_ + n] == u'_')) return false;
        pos_ += n;
        return true;
    }

    bool ParseComparison(Term& t) {
        SkipSpace();
        QString name;
        if (pos_ < s_.size() && s_[pos_] == u'[') {
            const qsizetype e = s_.indexOf(u']', pos_ + 1);
            if (e < 0) return Fail(QStringLiteral("missing ]"));
            name = s_.mid(pos_ + 1, e - pos_ - 1);
            pos_ = e + 1;
        } else {
            const qsizetype b = pos_;
            while (pos_ < s_.size() && (s_[pos_].isLetterOrNumber() || s_[pos_] == u'_' || s_[pos_] == u'.')) ++pos_;
            name = s_.mid(b, pos_ - b);
            // A qualified name (Table.Column) is looked up by its column.
            if (name.contains(u'.') && fields_.indexOf(name) < 0) name = name.section(u'.', -1);
        }
        if (name.isEmpty()) return Fail(QStringLiteral("a field name is expected"));
        t.field = fields_.indexOf(name);
        if (t.field < 0) return Fail(QStringLiteral("no field is named '%1'").arg(name));
        t.kind = fields_.kindOf(t.field);
        SkipSpace();
        static const std::pair<const char*, Term::Op> ops[] = {
            {"<=", Term::Le}, {">=", Term::Ge}, {"=", Term::Eq}, {"<", Term::Lt}, {">", Term::Gt}};
        for (const auto& [text, op] : ops) {
            const qsizetype len = static_cast<qsizetype>(strlen(text));
            if (QStringView(s_).mid(pos_, len) == QLatin1String(text)) {
                t.op = op;
                pos_ += len;
                return ParseValue(t) && ReadQuotedValue(t);
            }
        }
        return Fail(QStringLiteral("a comparison is expected after '%1'").arg(name));
    }

    // A quoted date or number compared with a date or number field, read once here rather
    // than on every row ([Invoice Number] = '17'). A quoted date reads as a #date# does,
    // never in the user's order.
    bool ReadQuotedValue(Term& t) {
        if (t.litType != Term::Text) return true;
        if (t.kind == Kind::DateTime) return DateValue(t, QString(t.text));
        if (t.kind == Kind::Integer || t.kind == Kind::Double || t.kind == Kind::Currency) {
            if (const auto n = detail::ParseNumber(t.text)) {
                t.litType = Term::Number;
                t.number = *n;
            }
        }
        return true;
    }

    // A date literal's text read into the term; false when it is no date.
    bool DateValue(Term& t, QStringView text) {
        const auto dt = ParseDateLiteral(text);
        if (!dt) return Fail(QStringLiteral("'%1' is not a date").arg(text));
        t.litType = Term::Date;
        t.dateKey = detail::ToStoredDate(*dt).key;
        return true;
    }

    bool ParseValue(Term& t) {
        SkipSpace();
        if (pos_ >= s_.size()) return Fail(QStringLiteral("a value is expected"));
        if (s_[pos_] == u'\'') {
            ++pos_;
            for (;;) {
                if (pos_ >= s_.size()) return Fail(QStringLiteral("unterminated text"));
                if (s_[pos_] == u'\'') {
                    if (pos_ + 1 < s_.size() && s_[pos_ + 1] == u'\'') {
                        t.text += u'\'';
                        pos_ += 2;
                        continue;
                    }
                    ++pos_;
                    break;
                }
                t.text += s_[pos_++];
            }
            t.litType = Term::Text;
            return true;
        }
        if (s_[pos_] == u'#') {
            const qsizetype e = s_.indexOf(u'#', pos_ + 1);
            if (e < 0) return Fail(QStringLiteral("missing closing #"));
            const qsizetype from = pos_ + 1;
            pos_ = e + 1;
            return DateValue(t, QStringView(s_).mid(from, e - from));
        }
        // An undelimited date: 2026-04-01[ 10:00[:00]] or 4/1/2026[ 10:00[:00]].
        static const QRegularExpression bareDate(QStringLiteral(
            R"(\G(\d{4}-\d{2}-\d{2}(?:[ T]\d{2}:\d{2}(?::\d{2})?)?|\d{1,2}/\d{1,2}/\d{4}(?: \d{1,2}:\d{2}(?::\d{2})?)?)(?![\d/:-]))"));
        if (const auto m = bareDate.match(s_, pos_); m.hasMatch()) {
            pos_ = m.capturedEnd(0);
            return DateValue(t, m.capturedView(1));
        }
        static const QRegularExpression number(QStringLiteral(R"(\G[-+]?(\d+\.?\d*|\.\d+)([eE][-+]?\d+)?)"));
        if (const auto m = number.match(s_, pos_); m.hasMatch()) {
            t.litType = Term::Number;
            t.text = m.captured(0);
            t.number = t.text.toDouble();
            pos_ = m.capturedEnd(0);
            return true;
        }
        for (const bool b : {true, false}) {
            if (Word(b ? "true" : "false")) {
                t.litType = Term::Bool;
                t.boolean = b;
                return true;
            }
        }
        return Fail(QStringLiteral("'%1' is not a value").arg(s_.mid(pos_)));
    }

    const QString& s_;
    const FieldLookup& fields_;
    qsizetype pos_ = 0;
    QString error_;
};

// Order of two cells of one field, Null first; text without case.
int CompareCells(const QVariant& a, const QVariant& b, Kind kind) {
    // The cells long lists are sorted by most often, compared without conversions.
    const QMetaType type = a.metaType();
    if (type == b.metaType()) {
        if (type == QMetaType::fromType<detail::StoredDate>())
            return Cmp(static_cast<const detail::StoredDate*>(a.constData())->key,
                       static_cast<const detail::StoredDate*>(b.constData())->key);
        if (type.id() == QMetaType::Int) return Cmp(*static_cast<const int*>(a.constData()), *static_cast<const int*>(b.constData()));
        if (type.id() == QMetaType::LongLong)
            return Cmp(*static_cast<const qlonglong*>(a.constData()), *static_cast<const qlonglong*>(b.constData()));
    }
    const bool an = IsNull(a), bn = IsNull(b);
    if (an || bn) return an == bn ? 0 : (an ? -1 : 1);
    if (kind == Kind::DateTime) {
        const auto x = detail::DateKey(a), y = detail::DateKey(b);
        if (x && y) return Cmp(*x, *y);
    }
    if (a.metaType().id() == QMetaType::QString && b.metaType().id() == QMetaType::QString)
        return a.toString().compare(b.toString(), Qt::CaseInsensitive);
    if (a.metaType() == QMetaType::fromType<Currency>() && b.metaType() == QMetaType::fromType<Currency>())
        return Cmp(a.value<Currency>(), b.value<Currency>());
    const auto x = ToNumber(a), y = ToNumber(b);
    if (x && y) return Cmp(*x, *y);
    return ValueText(a).compare(ValueText(b), Qt::CaseInsensitive);
}

}  // namespace

std::optional<Filter> Filter::Parse(const QString& text, const FieldLookup& fields, QString* error) {
    auto groups = Parser(text, fields).Run(error);
    if (!groups) return std::nullopt;
    Filter f;
    f.groups_ = std::move(*groups);
    return f;
}

bool Filter::Matches(const Cells& cells) const {
    return std::any_of(groups_.begin(), groups_.end(), [&](const std::vector<Term>& terms) {
        return std::all_of(terms.begin(), terms.end(), [&](const Term& t) { return Holds(t, cells); });
    });
}

namespace {

// A term as a condition the engine can test with an index, wider where the forms a stored
// value may take call for it; empty when the engine cannot test it.
QStringList TermSql(const Term& t, const Filter::SqlField& f) {
    if (f.name.isEmpty()) return {};
    if (t.litType == Term::Date && t.kind == Kind::DateTime) {
        // Whole days: "2026-04-01", "2026-04-01 09:00" and "2026-04-01T09:00" all sort
        // between the day and the next one.
        const qint64 ymd = t.dateKey / 1000000;
        const QDate day(static_cast<int>(ymd / 10000), static_cast<int>(ymd / 100 % 100), static_cast<int>(ymd % 100));
        const QDate next = day.addDays(1);
        QStringList parts;
        // Rows gather before today: a lower date bound picks few of them, so the engine is
        // told to prefer its index over one serving the order or an upper bound.
        if (t.op == Term::Eq || t.op == Term::Ge || t.op == Term::Gt)
            parts << QStringLiteral("likelihood(%1 >= '%2', 0.001)").arg(f.name, day.toString(Qt::ISODate));
        if ((t.op == Term::Eq || t.op == Term::Le || t.op == Term::Lt) && next.year() <= 9999)
            parts << QStringLiteral("%1 < '%2'").arg(f.name, next.toString(Qt::ISODate));
        return parts;
    }
    // Beyond 2^53 whole numbers are compared here as the doubles they round to.
    if (t.litType == Term::Number && (t.kind == Kind::Integer || t.kind == Kind::Double) &&
        std::fabs(t.number) < 9007199254740992.0) {
        static const char* const ops[] = {"=", "<", "<=", ">", ">="};
        const QString cmp = QStringLiteral("%1 %2 %3").arg(f.name, QLatin1String(ops[t.op]),
                                                           QString::number(t.number, 'g', 17));
        // Text in a number column is compared as a number here once it reads as one. The
        // engine sorts text after every number and before every blob, so that an index finds
        // the text as well.
        if (f.wholeNumbers) return {cmp};
        return {QStringLiteral("(%1 OR %2 BETWEEN '' AND x'')").arg(cmp, f.name)};
    }
    return {};
}

}  // namespace

std::optional<Filter::SqlGroups> Filter::SqlSuperset(const std::function<SqlField(int)>& fieldSql) const {
    SqlGroups out;
    for (const auto& terms : groups_) {
        std::vector<QString>& sql = out.emplace_back();
        for (const Term& t : terms)
            for (const QString& part : TermSql(t, fieldSql(t.field))) sql.push_back(part);
        if (sql.empty()) return std::nullopt;
    }
    return out;
}

std::optional<SortOrder> SortOrder::Parse(const QString& text, const FieldLookup& fields, QString* error) {
    SortOrder order;
    for (QString part : text.split(u',', Qt::SkipEmptyParts)) {
        part = part.trimmed();
        bool desc = false;
        if (part.endsWith(u" desc", Qt::CaseInsensitive)) {
            desc = true;
            part.chop(5);
        } else if (part.endsWith(u" asc", Qt::CaseInsensitive)) {
            part.chop(4);
        }
        part = part.trimmed();
        if (part.startsWith(u'[') && part.endsWith(u']')) part = part.mid(1, part.size() - 2);
        const int index = fields.indexOf(part);
        if (index < 0) {
            if (error) *error = QStringLiteral("Invalid sort \"%1\": no field is named '%2'").arg(text, part);
            return std::nullopt;
        }
        order.keys_.push_back({index, fields.kindOf(index), desc});
    }
    return order;
}

bool SortOrder::Less(const Cells& a, const Cells& b) const {
    for (const Key& k : keys_) {
        const int c = CompareCells(a.at(k.index), b.at(k.index), k.kind);
        if (c != 0) return k.descending ? c > 0 : c < 0;
    }
    return false;
}

}  // namespace db
