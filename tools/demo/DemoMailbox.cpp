// Generated demo mail: RFC 5322 messages, subjects and names as RFC 2047 encoded words (UTF-8,
// Base64), attachments as RFC 2046 multipart/mixed parts.
#include "DemoMailbox.h"

#include "pop3/MessageDecoders.h"

#include <array>

namespace qm::demo {

namespace {

struct Letter {
    const char* name;
    const char* address;
    const char* subject;
    const char* attachment; // file name, or nullptr
};

constexpr std::array<Letter, 26> kLetters = {{
    {"Анна Петрова", "anna.petrova@mail.example", "Встреча в пятницу", nullptr},
    {"Игорь Смирнов", "igor@work.example", "Отчёт за ноябрь", "отчёт.txt"},
    {"Мария Иванова", "maria@family.example", "Фотографии с дачи", "dacha.png"},
    {"Служба доставки", "delivery@shop.example", "Ваш заказ отправлен", nullptr},
    {"Олег Кузнецов", "oleg@club.example", "Тренировка переносится", nullptr},
    {"Банк", "notify@bank.example", "Выписка по счёту", "выписка.txt"},
    {"Елена", "elena@mail.example", "С днём рождения!", nullptr},
    {"Дмитрий", "dmitry@work.example", "Вопрос по проекту", nullptr},
    {"Библиотека", "library@city.example", "Напоминание о возврате книги", nullptr},
    {"Giulia Rossi", "giulia.rossi@posta.example", "Cena di sabato", nullptr},
    {"Marco Bianchi", "marco@lavoro.example", "Verbale della riunione", "verbale.txt"},
    {"Chiara", "chiara@famiglia.example", "Foto delle vacanze", "spiaggia.png"},
    {"Ufficio spedizioni", "spedizioni@negozio.example", "Il tuo ordine è in viaggio", nullptr},
    {"Luca Ferrari", "luca@calcetto.example", "Partita di giovedì", nullptr},
    {"Comune", "anagrafe@comune.example", "Appuntamento confermato", nullptr},
    {"Sara", "sara@posta.example", "Ricetta del tiramisù", nullptr},
    {"Paolo", "paolo@lavoro.example", "Domanda sul preventivo", nullptr},
    {"Biblioteca", "prestiti@biblioteca.example", "Promemoria restituzione", nullptr},
    {"John Miller", "john@work.example", "Quarterly figures", nullptr},
    {"Emma", "emma@friends.example", "Weekend plans", nullptr},
    {"Build server", "ci@build.example", "Nightly build passed", nullptr},
    {"Alice Brown", "alice@club.example", "Club newsletter", nullptr},
    {"Support", "support@hosting.example", "Your ticket was answered", nullptr},
    {"Tom", "tom@friends.example", "Photos from the hike", "hike.png"},
    {"Calendar", "calendar@work.example", "Reminder: team lunch", nullptr},
    {"Kate", "kate@family.example", "Train times", nullptr},
}};

constexpr std::array<const char*, 4> kSpamSubjects = {
    "You have WON a prize!!!",
    "Поздравляем! Вы выиграли приз",
    "Hai vinto un premio esclusivo",
    "Last chance: claim your reward",
};

// A 1x1 transparent PNG, the picture attachments of the demo.
constexpr const char* kPngBase64 =
    "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mNkYPhfDwAChwGA60e6kgAAAABJRU5ErkJggg==";

std::string encodedWord(const std::string& text) {
    for (const unsigned char c : text) {
        if (c >= 0x80) {
            return "=?UTF-8?B?" + EncodeBase64(text) + "?=";
        }
    }
    return text;
}

std::string header(const std::string& fromName, const std::string& from, const std::string& to,
                   const std::string& subject, int serial) {
    // Spread over the last days, newest last.
    const int day = 1 + serial % 7;
    const int hour = 8 + serial % 12;
    return "From: " + encodedWord(fromName) + " <" + from + ">\r\n" + "To: <" + to + ">\r\n" +
           "Subject: " + encodedWord(subject) + "\r\n" + "Date: Tue, " + std::to_string(day) + " Dec 2026 " +
           (hour < 10 ? "0" : "") + std::to_string(hour) + ":15:00 +0000\r\n" + "Message-ID: <demo-" +
           std::to_string(serial) + "@quillmere.example>\r\n" + "MIME-Version: 1.0\r\n";
}

std::string plainBody(const std::string& text) {
    return "Content-Type: text/plain; charset=UTF-8\r\nContent-Transfer-Encoding: 8bit\r\n\r\n" + text + "\r\n";
}

std::string withAttachment(const std::string& text, const std::string& fileName, int serial) {
    const std::string boundary = "demo-boundary-" + std::to_string(serial);
    const bool picture = fileName.size() > 4 && fileName.compare(fileName.size() - 4, 4, ".png") == 0;
    std::string part = "--" + boundary + "\r\n" + plainBody(text) + "--" + boundary + "\r\n";
    if (picture) {
        part += "Content-Type: image/png\r\nContent-Transfer-Encoding: base64\r\n"
                "Content-Disposition: attachment; filename=\"" +
                fileName + "\"\r\n\r\n" + kPngBase64 + "\r\n";
    } else {
        part += "Content-Type: text/plain; charset=UTF-8\r\nContent-Transfer-Encoding: base64\r\n"
                "Content-Disposition: attachment; filename=\"" +
                encodedWord(fileName) + "\"\r\n\r\n" + EncodeBase64("Quillmere32 demo attachment\n") + "\r\n";
    }
    return "Content-Type: multipart/mixed; boundary=\"" + boundary + "\"\r\n\r\n" + part + "--" + boundary + "--\r\n";
}

} // namespace

std::vector<std::string> DemoMessages(const std::string& to) {
    std::vector<std::string> messages;
    int serial = 0;
    for (const Letter& letter : kLetters) {
        ++serial;
        const std::string text = std::string("A message of the Quillmere32 demo: ") + letter.subject;
        std::string message = header(letter.name, letter.address, to, letter.subject, serial);
        message += letter.attachment != nullptr ? withAttachment(text, letter.attachment, serial) : plainBody(text);
        messages.push_back(std::move(message));
        // The spam arrives among the ordinary mail.
        if (serial % 6 == 0 && static_cast<std::size_t>(serial / 6) <= kSpamSubjects.size()) {
            const char* subject = kSpamSubjects[static_cast<std::size_t>(serial / 6 - 1)];
            messages.push_back(header("Prize Draw", kSpamSender, to, subject, 100 + serial) +
                               plainBody("Click here to claim your prize."));
        }
    }
    return messages;
}

int DemoSpamCount() {
    return static_cast<int>(kSpamSubjects.size());
}

} // namespace qm::demo
