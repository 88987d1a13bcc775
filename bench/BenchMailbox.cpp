// Generated mail in RFC 5322 form, encoded words as RFC 2047 (UTF-8, B and Q), attachments as
// RFC 2046 multipart/mixed parts.
#include "BenchMailbox.h"

#include "pop3/MessageDecoders.h"

#include <algorithm>
#include <array>

namespace qm::bench {

namespace {

constexpr std::array<const char*, 6> kSubjects = {
    "Quarterly figures, second draft",
    "Re: Room booking for the workshop",
    "Your order has been shipped",
    "Minutes of Tuesday's meeting",
    "Build 4711 passed",
    "Invitation: team lunch on Friday",
};
// Encoded the way common mail programs encode them: Cyrillic in base64, German in quoted-printable.
constexpr std::array<const char*, 3> kEncodedSubjects = {
    "Отчёт за ноябрь и план на декабрь",
    "Встреча в пятницу переносится",
    "Счёт № 2026-117 к оплате",
};
constexpr std::array<const char*, 2> kQuotedSubjects = {
    "=?UTF-8?Q?Bericht_f=C3=BCr_die_Woche_=E2=80=93_bitte_pr=C3=BCfen?=",
    "=?UTF-8?Q?Einladung_zur_Besprechung_am_Donnerstag?=",
};
constexpr std::array<const char*, 4> kNames = {"Anna Petrova", "Jürgen Müller", "Giulia Rossi", "John Miller"};

constexpr const char* kParagraph =
    "Thank you for the notes from last week. I went through the figures again and the totals now match "
    "the spreadsheet; the remaining difference came from two invoices booked in the wrong month. Please "
    "have a look at the attached summary before Friday, and tell me whether the new layout works for "
    "your team. If anything is unclear we can go through it on the phone.";

std::string encodedWord(const std::string& text) {
    return "=?UTF-8?B?" + EncodeBase64(text) + "?=";
}

std::string subjectOf(int serial) {
    const auto at = static_cast<std::size_t>(serial);
    if (serial % 3 != 0) {
        return std::string(kSubjects[at % kSubjects.size()]) + " #" + std::to_string(serial);
    }
    if (serial % 2 == 0) {
        return kQuotedSubjects[at % kQuotedSubjects.size()];
    }
    return encodedWord(std::string(kEncodedSubjects[at % kEncodedSubjects.size()]) + " #" + std::to_string(serial));
}

// Lines of at most 76 characters, as a mail program wraps text.
std::string wrapped(const std::string& text) {
    std::string out;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = std::min(text.size(), start + 76);
        if (end < text.size()) {
            const std::size_t space = text.rfind(' ', end);
            end = space != std::string::npos && space > start ? space : end;
        }
        out += text.substr(start, end - start) + "\r\n";
        start = end < text.size() && text[end] == ' ' ? end + 1 : end;
    }
    return out;
}

std::string textBody(int serial) {
    std::string body = "Hello,\r\n\r\n";
    for (int p = 0; p < 4 + serial % 4; ++p) {
        body += wrapped(kParagraph) + "\r\n";
    }
    // A line the server must dot-stuff.
    return body + ".. and that is all for today.\r\n\r\nBest regards\r\n-- \r\nSent from the benchmark\r\n";
}

std::string headerOf(int serial, const std::string& to) {
    const std::string n = std::to_string(serial);
    const std::string name = kNames[static_cast<std::size_t>(serial) % kNames.size()];
    const std::string sender = serial % 5 == 0 ? encodedWord(name) : "\"" + name + "\"";
    const std::string domain = "host" + std::to_string(serial % 97) + ".example.org";
    const std::string day = std::to_string(1 + serial % 28);
    return "Return-Path: <bounce-" + n + "@" + domain + ">\r\nDelivered-To: " + to +
           "\r\n"
           "Received: from mx1.example.net (mx1.example.net [192.0.2.25])\r\n\tby pop.example.net (Postfix) with "
           "ESMTPS id 4Qx" +
           n + "\r\n\tfor <" + to + ">; " + day +
           " Nov 2026 09:14:02 +0100 (CET)\r\n"
           "Received: from mail." +
           domain + " (mail." + domain + " [198.51.100.7])\r\n\tby mx1.example.net with ESMTPS id " + n +
           "\r\n\t(version=TLS1_3 cipher=TLS_AES_256_GCM_SHA384 bits=256/256);\r\n\t" + day +
           " Nov 2026 09:14:01 +0100\r\n"
           "DKIM-Signature: v=1; a=rsa-sha256; c=relaxed/relaxed; d=" +
           domain +
           "; s=2026;\r\n\th=from:to:subject:date:message-id:mime-version;\r\n"
           "\tbh=47DEQpj8HBSa+/TImW+5JCeuQeRkm5NMpJWZG3hSuFU=;\r\n"
           "\tb=dGhpcyBpcyBub3QgYSByZWFsIHNpZ25hdHVyZSwganVzdCBhIHNpZ25hdHVyZS1zaGFwZWQgYmxvYiBvZiBi\r\n"
           "\t YXNlNjQgdGV4dCB0aGF0IGZpbGxzIHRoZSBoZWFkZXIgYXMgYSByZWFsIG9uZSB3b3VsZCBkbyBpdA==\r\n"
           "From: " +
           sender + " <person" + n + "@" + domain + ">\r\nTo: <" + to + ">\r\nSubject: " + subjectOf(serial) +
           "\r\nDate: Mon, " + day + " Nov 2026 09:14:00 +0100\r\nMessage-ID: <" + n + "." + day + "@" + domain +
           ">\r\nMIME-Version: 1.0\r\nList-Id: <team." + domain + ">\r\nList-Unsubscribe: <mailto:leave@" + domain +
           ">\r\nX-Mailer: Benchmark Mailer 1.0\r\n";
}

} // namespace

std::string BenchMessage(int serial, const std::string& to) {
    std::string message = headerOf(serial, to);
    const std::string text = textBody(serial);
    if (serial % 10 != 0) {
        return message + "Content-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: 8bit\r\n\r\n" + text;
    }
    const std::string boundary = "bench-" + std::to_string(serial);
    return message + "Content-Type: multipart/mixed; boundary=\"" + boundary + "\"\r\n\r\n--" + boundary +
           "\r\nContent-Type: text/plain; charset=utf-8\r\n\r\n" + text + "--" + boundary +
           "\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: base64\r\n"
           "Content-Disposition: attachment; filename=\"summary.txt\"\r\n\r\n" +
           wrapped(EncodeBase64(text)) + "--" + boundary + "--\r\n";
}

} // namespace qm::bench
