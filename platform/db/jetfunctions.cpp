#include "jetfunctions.h"

#include <QByteArray>
#include <QString>

#include "internal.h"

namespace db {
namespace {

// The text Jet gives a value joined with `&`: Null as nothing, numbers and dates as the
// user sees them.
void JetText(sqlite3_context* ctx, int, sqlite3_value** argv) {
    sqlite3_value* v = argv[0];
    QString text;
    switch (sqlite3_value_type(v)) {
        case SQLITE_NULL:
            sqlite3_result_text(ctx, "", 0, SQLITE_STATIC);
            return;
        case SQLITE_INTEGER:
            text = ValueText(QVariant(sqlite3_value_int64(v)));
            break;
        case SQLITE_FLOAT:
            text = ValueText(QVariant(sqlite3_value_double(v)));
            break;
        default: {
            const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
            const auto date = detail::StoredDateFromText(QString::fromUtf8(p, sqlite3_value_bytes(v)));
            if (!date) return sqlite3_result_value(ctx, v);
            text = detail::StoredDateDisplay(*date);
        }
    }
    const QByteArray u = text.toUtf8();
    sqlite3_result_text(ctx, u.constData(), static_cast<int>(u.size()), SQLITE_TRANSIENT);
}

}  // namespace

bool RegisterJetFunctions(sqlite3* db) {
    return sqlite3_create_function_v2(db, "jet_text", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, JetText,
                                      nullptr, nullptr, nullptr) == SQLITE_OK;
}

}  // namespace db
