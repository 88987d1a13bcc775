#pragma once

#include <string_view>

#include "platform/Environment.h"

namespace qm {

// The ANSI code page of this user: taken from the language of the locale (first non-empty of
// LC_ALL, LC_CTYPE, LANG; the locale need not be installed). Central European languages give
// 1250, Cyrillic 1251, Greek 1253, Turkish 1254, Hebrew 1255, Arabic 1256, Baltic 1257,
// Vietnamese 1258, anything else 1252.
int AnsiCodePage();
int AnsiCodePage(const EnvLookup& env);

// The code page for one locale name such as "ru_RU.UTF-8", "pl", "C" or "sr@latin".
int CodePageForLocale(std::string_view locale);

} // namespace qm
