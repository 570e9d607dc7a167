#include "propertybag.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>

namespace com {
namespace {

// Every value is held as one of the four kinds the text can carry.
QVariant Normalize(const QVariant& v) {
    if (!v.isValid()) return v;
    switch (v.metaType().id()) {
        case QMetaType::Bool:
            return v.toBool();
        case QMetaType::QString:
            return v.toString();
        case QMetaType::QByteArray:
            return v.toByteArray();
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::Char:
        case QMetaType::SChar:
        case QMetaType::UChar:
        case QMetaType::Long:
        case QMetaType::ULong:
            return v.toLongLong();
        default:
            return v.toString();
    }
}

QString QuoteText(const QString& s) {
    const QByteArray json = QJsonDocument(QJsonArray{s}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(json.mid(1, json.size() - 2));
}

bool UnquoteText(const QString& quoted, QString* out) {
    QJsonParseError err;
    const QJsonDocument doc = QJsonDocument::fromJson('[' + quoted.toUtf8() + ']', &err);
    if (err.error != QJsonParseError::NoError || !doc.isArray() || doc.array().size() != 1 ||
        !doc.array().at(0).isString())
        return false;
    *out = doc.array().at(0).toString();
    return true;
}

QString ValueText(const QVariant& v) {
    switch (v.metaType().id()) {
        case QMetaType::Bool:
            return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
        case QMetaType::LongLong:
            return QString::number(v.toLongLong());
        case QMetaType::QByteArray:
            return QStringLiteral("b64\"%1\"").arg(QString::fromLatin1(v.toByteArray().toBase64()));
        default:
            return QuoteText(v.toString());
    }
}

bool ParseValue(const QString& text, QVariant* out) {
    static const QRegularExpression number(QStringLiteral("^[+-]?[0-9]+$"));
    static const QRegularExpression bytes(QStringLiteral("^b64\"([A-Za-z0-9+/=]*)\"$"));
    if (text.startsWith(u'"')) {
        QString s;
        if (!UnquoteText(text, &s)) return false;
        *out = s;
        return true;
    }
    if (text.compare(u"True", Qt::CaseInsensitive) == 0 ||
        text.compare(u"False", Qt::CaseInsensitive) == 0) {
        *out = text.compare(u"True", Qt::CaseInsensitive) == 0;
        return true;
    }
    if (number.match(text).hasMatch()) {
        bool ok = false;
        const qlonglong n = text.toLongLong(&ok);
        if (!ok) return false;
        *out = n;
        return true;
    }
    if (const auto m = bytes.match(text); m.hasMatch()) {
        *out = QByteArray::fromBase64(m.captured(1).toLatin1());
        return true;
    }
    return false;
}

}  // namespace

int PropertyBag::IndexOf(const QString& name) const {
    for (int i = 0; i < entries_.size(); ++i)
        if (entries_[i].first.compare(name, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

QVariant PropertyBag::ReadProperty(const QString& name, const QVariant& defaultValue) const {
    const int i = IndexOf(name);
    return i < 0 ? defaultValue : entries_[i].second;
}

void PropertyBag::WriteProperty(const QString& name, const QVariant& value,
                                const QVariant& defaultValue) {
    const QVariant v = Normalize(value);
    const QVariant d = Normalize(defaultValue);
    const int i = IndexOf(name);
    if (!v.isValid() || (d.isValid() && v == d)) {
        if (i >= 0) entries_.removeAt(i);
        return;
    }
    if (i >= 0)
        entries_[i].second = v;
    else
        entries_.append({name, v});
}

bool PropertyBag::Contains(const QString& name) const { return IndexOf(name) >= 0; }

QStringList PropertyBag::Names() const {
    QStringList names;
    for (const auto& e : entries_) names << e.first;
    return names;
}

QString PropertyBag::ToText() const {
    QString text;
    for (const auto& e : entries_)
        text += e.first + QStringLiteral(" = ") + ValueText(e.second) + u'\n';
    return text;
}

bool PropertyBag::FromText(const QString& text, QString* error) {
    QList<QPair<QString, QVariant>> read;
    const QStringList lines = text.split(u'\n');
    for (int n = 0; n < lines.size(); ++n) {
        const QString line = lines[n].trimmed();
        if (line.isEmpty()) continue;
        const qsizetype eq = line.indexOf(u'=');
        const QString name = eq > 0 ? line.left(eq).trimmed() : QString();
        QVariant value;
        if (name.isEmpty() || name.contains(u'"') ||
            !ParseValue(line.mid(eq + 1).trimmed(), &value)) {
            if (error)
                *error =
                    QStringLiteral("Property bag line %1 cannot be read: %2").arg(n + 1).arg(line);
            return false;
        }
        read.append({name, value});
    }
    entries_.clear();
    for (const auto& e : read) WriteProperty(e.first, e.second);
    return true;
}

QVariantList PropertyBag::ToVariant() const {
    QVariantList list;
    for (const auto& e : entries_) list.append(QVariant(QVariantList{e.first, e.second}));
    return list;
}

PropertyBag PropertyBag::FromVariant(const QVariantList& list) {
    PropertyBag bag;
    for (const QVariant& item : list) {
        const QVariantList pair = item.toList();
        if (pair.size() == 2 && !pair[0].toString().isEmpty())
            bag.WriteProperty(pair[0].toString(), pair[1]);
    }
    return bag;
}

}  // namespace com
