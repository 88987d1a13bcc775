#include "ui/CodePageText.h"

#include <QByteArray>

#include <atomic>

#include "platform/CodePage.h"
#include "pop3/Charset.h"

namespace qm {

namespace {

// 0: not chosen yet, the system's code page is asked on first use.
std::atomic<int> g_overrideCodePage{0};

int systemCodePage() {
    static const int codePage = AnsiCodePage();
    return codePage;
}

} // namespace

int uiCodePage() {
    const int chosen = g_overrideCodePage.load();
    return chosen != 0 ? chosen : systemCodePage();
}

void setUiCodePage(int codePage) {
    g_overrideCodePage.store(codePage);
}

QString fromCodePage(std::string_view bytes) {
    if (bytes.empty())
        return {};
    const std::string utf8 = CodePageToUtf8(bytes, uiCodePage());
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string toCodePage(const QString& text) {
    if (text.isEmpty())
        return {};
    const QByteArray utf8 = text.toUtf8();
    return Utf8ToCodePage(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())), uiCodePage());
}

} // namespace qm
