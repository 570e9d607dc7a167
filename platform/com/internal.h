#pragma once

#include <QString>

namespace com::internal {

// Records the failure text LastError() returns; returns false so callers can end with it.
bool Fail(const QString& text);
void ClearError();

// What makes the ELF file at `path` unfit to load, as words following "it" ("ends at byte 20000,
// inside a loadable segment"); empty when it looks whole. The loader maps a file cut short
// without complaint and the process then dies on the first page past its end. Anything that is
// not an ELF file of this machine is left to the loader, which refuses it safely.
QString LibraryDefect(const QString& path);

}  // namespace com::internal
