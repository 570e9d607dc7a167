#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

class QWidget;

// Takes the first token off `list` (trimmed of blanks) and returns it.
QString GetToken(QString& list, const QString& delimiter);
// Fills every element of `tokens`, in order, with successive tokens of a copy of `list`;
// elements past the last token become empty.
void ParseTokens(QStringList& tokens, const QString& list, const QString& delimiter);
// 0 for the empty text, else the delimiters + 1 (so "a;b;" counts an empty third).
qint16 CountTokens(const QString& list, const QString& delimiter);

// Sends one mail at once: recipients and attachment paths as ";"-separated lists, blank
// entries skipped. Returns the Simple MAPI code, 0 when the server accepted the mail.
std::uint32_t SendMail(const QString& subject, const QString& toList, const QString& ccList,
                       const QString& attachmentList, const QString& noteText,
                       QWidget* parent = nullptr);
