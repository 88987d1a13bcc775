#pragma once

#include <QString>

namespace qm {

// Opens a program or an address the way the desktop does: an address with a scheme
// (http:, https:, mailto:, file:) goes to the desktop's handler, anything else is started
// as a program (a bare name is looked up in PATH). Returns whether it was started; a failure
// stands for the "32 or less" result of the Windows call.
bool ShellOpen(const QString& target);

// Whether ShellOpen treats target as an address rather than a program.
bool IsAddress(const QString& target);

} // namespace qm
