#include "desktop.h"

#include <QDesktopServices>

namespace ui {
namespace {
UrlOpener& Opener() {
    static UrlOpener opener;
    return opener;
}
}  // namespace

bool OpenUrl(const QUrl& url) { return Opener() ? Opener()(url) : QDesktopServices::openUrl(url); }

void SetUrlOpener(UrlOpener opener) { Opener() = std::move(opener); }

}  // namespace ui
