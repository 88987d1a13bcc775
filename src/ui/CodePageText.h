#pragma once

#include <QString>

#include <string>
#include <string_view>

namespace qm {

// The one crossing between the program's data strings (bytes in the ANSI code page) and Qt's
// Unicode text. Everything that shows a host, an account name, a mask or a file name in a widget,
// or takes one back from a widget, goes through this pair, so a Russian user's input is kept as
// windows-1251 bytes. Characters the code page cannot hold come back as '?'.
QString fromCodePage(std::string_view bytes);
std::string toCodePage(const QString& text);

// The code page the pair converts with: the system's ANSI code page unless set otherwise.
int uiCodePage();
// Overrides the code page (tests pass 1251); 0 returns to the system's code page.
void setUiCodePage(int codePage);

// Interface texts (the language table, captions) are UTF-8.
inline QString fromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace qm
