#include "show.h"

#include <QDesktopServices>
#include <QStandardPaths>
#include <QUrl>

namespace word {

namespace {

Opener& Replacement() {
    static Opener opener;
    return opener;
}

}  // namespace

bool Show(const QString& path) {
    if (Replacement()) return Replacement()(path);
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool Available() {
    return Replacement() || !QStandardPaths::findExecutable(QStringLiteral("xdg-open")).isEmpty();
}

void SetOpener(Opener opener) { Replacement() = std::move(opener); }

}  // namespace word
