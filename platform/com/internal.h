#pragma once

#include <QString>

namespace com::internal {

// Records the failure text LastError() returns; returns false so callers can end with it.
bool Fail(const QString& text);
void ClearError();

}  // namespace com::internal
