#pragma once

#include <QString>
#include <functional>

namespace word {

// Opens a document in the desktop's word processor and returns at once; false when no program
// could be started for it.
bool Show(const QString& path);

// Whether the desktop has a way to open documents at all.
bool Available();

// What Show does instead; tests install one so that no program is started. An empty one
// restores the desktop's.
using Opener = std::function<bool(const QString& path)>;
void SetOpener(Opener opener);

}  // namespace word
