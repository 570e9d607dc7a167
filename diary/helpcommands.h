#pragma once

#include <QString>

class QWidget;

// The program's own guide, shipped next to the program.
inline const QString kHelpFileName = QStringLiteral("ambrelle.html");
QString HelpFilePath();

// Opens the guide in the desktop's viewer; says so when it is missing or cannot be shown.
void ShowProgramHelp(QWidget* owner);
// Opens the support address kept in the settings store in the browser; says so when none is
// set or it cannot be opened.
void OpenOnlineSupport(QWidget* owner);
