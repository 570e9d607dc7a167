#include "helpcommands.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include "core/globals.h"
#include "core/settingscatalogue.h"
#include "platform/settings/settings.h"
#include "platform/ui/desktop.h"
#include "platform/ui/prompts.h"

namespace {
void Warn(const QString& text, QWidget* owner) {
    ui::MsgBox(text, ui::vbOKOnly | ui::vbExclamation, QString(), owner);
}
}  // namespace

QString HelpFilePath() { return QDir(ProgramFolder()).filePath(kHelpFileName); }

void ShowProgramHelp(QWidget* owner) {
    const QString path = HelpFilePath();
    if (!QFileInfo(path).isFile()) {
        Warn(
            QStringLiteral("The help file %1 cannot be found.").arg(QDir::toNativeSeparators(path)),
            owner);
        return;
    }
    if (!ui::OpenUrl(QUrl::fromLocalFile(path)))
        Warn(QStringLiteral(
                 "The help file %1 could not be opened: the desktop has no program to show it.")
                 .arg(QDir::toNativeSeparators(path)),
             owner);
}

void OpenOnlineSupport(QWidget* owner) {
    const QString address = catalogue::ReadText(catalogue::SupportAddress).trimmed();
    if (address.isEmpty()) {
        const QString store =
            QDir(settings::StoreFolder()).filePath(AppTitle + QStringLiteral(".ini"));
        ui::MsgBox(
            QStringLiteral("No online support address has been set.\r\n"
                           "Add one as %1=<web address> in the [%2] section of %3.")
                .arg(catalogue::SupportAddress.key, catalogue::SupportAddress.section, store),
            ui::vbOKOnly | ui::vbInformation, QString(), owner);
        return;
    }
    // "www.example.org" is taken as the web page it names; only a web page is opened.
    const QUrl url = QUrl::fromUserInput(address);
    const bool web = url.scheme() == u"http" || url.scheme() == u"https";
    if (!url.isValid() || !web || url.host().isEmpty()) {
        Warn(QStringLiteral("The online support address \"%1\" is not a web address.").arg(address),
             owner);
        return;
    }
    if (!ui::OpenUrl(url))
        Warn(QStringLiteral("The support page %1 could not be opened: the desktop has no web "
                            "browser to show it.")
                 .arg(url.toString()),
             owner);
}
