// Message reading: a typical header block, a many-part MIME message and a large attachment
// streamed through the body reader.
#include "BenchSupport.h"
#include "pop3/IdMessage.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

using qm::bench::PreparedLineSource;

// The header of an ordinary newsletter as TOP n 0 returns it: trace lines, a folded DKIM
// signature, encoded subject and sender name, list headers; then the "." end line.
const char* const kTypicalHeader =
    "Return-Path: <bounce-42@news.example.com>\r\n"
    "Delivered-To: joe@example.org\r\n"
    "Received: from mx1.example.org (mx1.example.org [192.0.2.10])\r\n"
    "\tby mail.example.org (Postfix) with ESMTPS id 4F1A2B3C4D\r\n"
    "\tfor <joe@example.org>; Mon, 6 Nov 2023 10:00:05 +0100 (CET)\r\n"
    "Received: from out.news.example.com (out.news.example.com [198.51.100.7])\r\n"
    "\tby mx1.example.org (Postfix) with ESMTP id 1234567890\r\n"
    "\tfor <joe@example.org>; Mon, 6 Nov 2023 10:00:04 +0100 (CET)\r\n"
    "DKIM-Signature: v=1; a=rsa-sha256; c=relaxed/relaxed; d=news.example.com; s=sel1;\r\n"
    "\th=from:to:subject:date:message-id:mime-version:content-type;\r\n"
    "\tbh=47DEQpj8HBSa+/TImW+5JCeuQeRkm5NMpJWZG3hSuFU=;\r\n"
    "\tb=dzdVyOfAKCdLXdJOc9G2q8LoXSlEniSbav+yuU4zGeeruD00lszZVoG4ZHRNiYzR\r\n"
    "\t 2bCDzEgeKjsLcThDZAj9GUO/tBD7ZOdbEBwRUPkC5mKMRt06N8G4QK6lRMH/YoIhB\r\n"
    "From: =?UTF-8?B?0J3QvtCy0L7RgdGC0Lg=?= <news@news.example.com>\r\n"
    "To: Joe Average <joe@example.org>\r\n"
    "Cc: team@example.org, \"Smith, Anna\" <anna@example.org>\r\n"
    "Reply-To: support@news.example.com\r\n"
    "Subject: =?ISO-8859-1?Q?Unsere_Angebote_f=FCr_diese_Woche?= - Ausgabe 45\r\n"
    "Date: Mon, 6 Nov 2023 10:00:00 +0100\r\n"
    "Message-ID: <20231106090000.12345@news.example.com>\r\n"
    "MIME-Version: 1.0\r\n"
    "Content-Type: multipart/alternative; boundary=\"----=_Part_1234_5678.1699261200000\"\r\n"
    "List-Unsubscribe: <mailto:unsubscribe@news.example.com?subject=unsubscribe>,\r\n"
    "\t<https://news.example.com/unsubscribe?id=42>\r\n"
    "List-Id: Weekly offers <offers.news.example.com>\r\n"
    "X-Mailer: Newsletter Engine 7.2\r\n"
    "X-Priority: 3\r\n"
    "Organization: Example News\r\n"
    ".\r\n";

void BM_TypicalHeaderBlock(benchmark::State& state) {
    PreparedLineSource source = PreparedLineSource::FromText(kTypicalHeader);
    qm::TIdMessage message;
    for (auto _ : state) {
        source.Rewind();
        message.Clear();
        benchmark::DoNotOptimize(message.ReadHeaderBlock(source, "."));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * source.WireBytes()));
}
BENCHMARK(BM_TypicalHeaderBlock);

// A multipart/mixed message with `parts` parts in turn: plain text, quoted-printable HTML and a
// small base64 attachment, as RETR returns it.
std::string MimeMessage(int parts) {
    std::string m = "From: Anna <anna@example.org>\r\n"
                    "To: joe@example.org\r\n"
                    "Subject: Photos and notes\r\n"
                    "Date: Mon, 6 Nov 2023 10:00:00 +0100\r\n"
                    "MIME-Version: 1.0\r\n"
                    "Content-Type: multipart/mixed; boundary=\"outer-boundary-42\"\r\n"
                    "\r\n"
                    "This is a multi-part message in MIME format.\r\n";
    const std::string attachment = qm::bench::Base64(qm::bench::PseudoRandomBytes(3000));
    for (int i = 0; i < parts; ++i) {
        m += "--outer-boundary-42\r\n";
        switch (i % 3) {
        case 0:
            m += "Content-Type: text/plain; charset=\"utf-8\"\r\nContent-Transfer-Encoding: 7bit\r\n\r\n";
            for (int l = 0; l < 20; ++l) {
                m += "Line " + std::to_string(l) + " of the notes about the trip, with a few words more.\r\n";
            }
            break;
        case 1:
            m += "Content-Type: text/html; charset=\"iso-8859-1\"\r\nContent-Transfer-Encoding: "
                 "quoted-printable\r\n\r\n";
            for (int l = 0; l < 20; ++l) {
                m += "<p style=3D\"margin:0\">Gr=FC=DFe aus dem Urlaub, Absatz " + std::to_string(l) + "</p>=\r\n";
            }
            m += "\r\n";
            break;
        default:
            m += "Content-Type: image/jpeg; name=\"photo" + std::to_string(i) +
                 ".jpg\"\r\nContent-Transfer-Encoding: base64\r\n"
                 "Content-Disposition: attachment; filename=\"photo" +
                 std::to_string(i) + ".jpg\"\r\n\r\n";
            for (std::size_t at = 0; at < attachment.size(); at += 76) {
                m += attachment.substr(at, 76) + "\r\n";
            }
            break;
        }
    }
    m += "--outer-boundary-42--\r\n.\r\n";
    return m;
}

void ReadWhole(qm::TIdMessage& message, PreparedLineSource& source) {
    if (message.ReadHeaderBlock(source, "") != ".") {
        message.ReadMessageBody(source);
    }
}

void BM_MimeMessage(benchmark::State& state) {
    PreparedLineSource source = PreparedLineSource::FromText(MimeMessage(static_cast<int>(state.range(0))));
    qm::TIdMessage message;
    for (auto _ : state) {
        source.Rewind();
        message.Clear();
        ReadWhole(message, source);
        message.UpdatePartCounts();
        benchmark::DoNotOptimize(message.AttachmentCount);
    }
    if (message.MessageParts.Count() != static_cast<std::size_t>(state.range(0))) {
        state.SkipWithError("the message was not read into all of its parts");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * source.WireBytes()));
}
BENCHMARK(BM_MimeMessage)->Arg(20);

// One attachment of `bytes` bytes, base64 in 76-character lines, streamed through and dropped.
void BM_LargeBase64Attachment(benchmark::State& state) {
    const std::string encoded =
        qm::bench::Base64(qm::bench::PseudoRandomBytes(static_cast<std::size_t>(state.range(0))));
    std::vector<std::string> lines = {
        "From: Anna <anna@example.org>",
        "Subject: The video",
        "MIME-Version: 1.0",
        "Content-Type: multipart/mixed; boundary=\"b1\"",
        "",
        "--b1",
        "Content-Type: text/plain",
        "",
        "Here it is.",
        "--b1",
        "Content-Type: video/mp4; name=\"holiday.mp4\"",
        "Content-Transfer-Encoding: base64",
        "Content-Disposition: attachment; filename=\"holiday.mp4\"",
        "",
    };
    for (std::size_t at = 0; at < encoded.size(); at += 76) {
        lines.push_back(encoded.substr(at, 76) + "\r");
    }
    lines.emplace_back("--b1--");
    lines.emplace_back(".");
    PreparedLineSource source(std::move(lines));
    qm::TIdMessage message;
    for (auto _ : state) {
        source.Rewind();
        message.Clear();
        ReadWhole(message, source);
    }
    if (message.MessageParts.Count() != 2) {
        state.SkipWithError("the attachment was not read as a part");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * source.WireBytes()));
}
BENCHMARK(BM_LargeBase64Attachment)->Arg(1 << 20)->Arg(8 << 20)->Unit(benchmark::kMillisecond);

// A plain message body of many short lines (what RETR does for an ordinary letter).
void BM_PlainBodyLines(benchmark::State& state) {
    std::string text = "From: joe@example.org\r\nSubject: minutes\r\n\r\n";
    for (int i = 0; i < state.range(0); ++i) {
        text += "Item " + std::to_string(i) + ": the minutes of the meeting, with decisions and actions.\r\n";
    }
    text += ".\r\n";
    PreparedLineSource source = PreparedLineSource::FromText(text);
    qm::TIdMessage message;
    for (auto _ : state) {
        source.Rewind();
        message.Clear();
        ReadWhole(message, source);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * source.WireBytes()));
}
BENCHMARK(BM_PlainBodyLines)->Arg(10000);

} // namespace
