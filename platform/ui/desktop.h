#pragma once

#include <QUrl>
#include <functional>

namespace ui {

// Opens a web page or a file in the viewer the desktop chooses for it, without waiting for
// it; false when the desktop could not. Tests install an opener of their own so that
// nothing is started.
bool OpenUrl(const QUrl& url);
using UrlOpener = std::function<bool(const QUrl&)>;
// An empty opener restores the desktop's.
void SetUrlOpener(UrlOpener opener);
// Whether the desktop has a way to open files at all (always, with a test's opener).
bool CanOpenFiles();

}  // namespace ui
