#include "sendmail.h"

#include "platform/mapi/mapi.h"

QString GetToken(QString& list, const QString& delimiter) {
    const qsizetype p = list.indexOf(delimiter);
    if (p < 0) {
        const QString token = list.trimmed();
        list.clear();
        return token;
    }
    const QString token = list.left(p).trimmed();
    list = list.mid(p + delimiter.size());
    return token;
}

void ParseTokens(QStringList& tokens, const QString& list, const QString& delimiter) {
    QString rest = list;
    for (QString& t : tokens) t = GetToken(rest, delimiter);
}

qint16 CountTokens(const QString& list, const QString& delimiter) {
    if (list.isEmpty()) return 0;
    return static_cast<qint16>(list.count(delimiter) + 1);
}

namespace {

// The list's tokens without the blank ones, which a trailing ";" leaves.
QStringList Entries(const QString& list) {
    const QString delimiter = QStringLiteral(";");
    QStringList tokens(CountTokens(list, delimiter));
    ParseTokens(tokens, list, delimiter);
    tokens.removeAll(QString());
    return tokens;
}

}  // namespace

std::uint32_t SendMail(const QString& subject, const QString& toList, const QString& ccList,
                       const QString& attachmentList, const QString& noteText, QWidget* parent) {
    mapi::MapiMessage message;
    message.lpszSubject = subject;
    message.lpszNoteText = noteText;
    for (const QString& a : Entries(toList))
        message.recips.push_back({mapi::MAPI_TO, a, QString()});
    for (const QString& a : Entries(ccList))
        message.recips.push_back({mapi::MAPI_CC, a, QString()});
    for (const QString& path : Entries(attachmentList))
        message.files.push_back({-1, path, QString()});
    return mapi::BMAPISendMail(0, reinterpret_cast<std::uintptr_t>(parent), message,
                               mapi::MAPI_LOGON_UI);
}
