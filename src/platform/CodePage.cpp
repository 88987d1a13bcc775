#include "platform/CodePage.h"

#include "text/AsciiText.h"

#include <array>
#include <string>

namespace qm {

namespace {

struct LanguageCodePage {
    std::string_view language;
    int codePage;
};

// Languages whose Windows ANSI code page is not 1252 (Western European).
constexpr std::array<LanguageCodePage, 32> kCodePages = {{
    {"cs", 1250}, {"sk", 1250}, {"pl", 1250}, {"hu", 1250}, {"sl", 1250}, {"hr", 1250}, {"ro", 1250}, {"bs", 1250},
    {"sq", 1250}, {"ru", 1251}, {"uk", 1251}, {"be", 1251}, {"bg", 1251}, {"mk", 1251}, {"sr", 1251}, {"kk", 1251},
    {"ky", 1251}, {"tt", 1251}, {"mn", 1251}, {"tg", 1251}, {"el", 1253}, {"tr", 1254}, {"az", 1254}, {"he", 1255},
    {"yi", 1255}, {"ar", 1256}, {"fa", 1256}, {"ur", 1256}, {"lt", 1257}, {"lv", 1257}, {"et", 1257}, {"vi", 1258},
}};

constexpr int kWestern = 1252;

} // namespace

int CodePageForLocale(std::string_view locale) {
    // language[_territory][.codeset][@modifier]: only the language decides.
    const std::size_t end = locale.find_first_of("_.@");
    const std::string language = AsciiLower(locale.substr(0, end));
    for (const auto& entry : kCodePages) {
        if (entry.language == language)
            return entry.codePage;
    }
    return kWestern;
}

int AnsiCodePage(const EnvLookup& env) {
    if (!env)
        return kWestern;
    for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        if (auto value = env(name); value && !value->empty())
            return CodePageForLocale(*value);
    }
    return kWestern;
}

int AnsiCodePage() {
    return AnsiCodePage(SystemEnvironment());
}

} // namespace qm
