#include "desktop.h"

#include <QDesktopServices>
#include <QStandardPaths>

namespace ui {
namespace {
UrlOpener& Opener() {
    static UrlOpener opener;
    return opener;
}
}  // namespace

bool OpenUrl(const QUrl& url) { return Opener() ? Opener()(url) : QDesktopServices::openUrl(url); }

void SetUrlOpener(UrlOpener opener) { Opener() = std::move(opener); }

bool CanOpenFiles() {
    return Opener() || !QStandardPaths::findExecutable(QStringLiteral("xdg-open")).isEmpty();
}

}  // namespace ui
