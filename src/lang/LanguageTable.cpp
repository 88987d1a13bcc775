#include "lang/LangRes.h"

#include <array>

namespace qm {

namespace {

// Columns RU, IT, EN, DE. The English column holds the keys. Cells are kept exactly as the
// interface has always shown them, including the German cells that repeat the English text and
// the Latin "c" closing "connecting to" and "connected to" in Russian.
constexpr std::array<std::array<const char*, 4>, 99> kRows = {{
    {"Да", "Si", "Yes", "Ja"},                                                                                     // 1
    {"Нет", "No", "No", "Nein"},                                                                                   // 2
    {"Выход", "Esci", "Close", "Beendet"},                                                                         // 3
    {"Помощь", "Aiuto", "Help", "Help"},                                                                           // 4
    {"О программе", "Informazioni sul programma", "About the program", "About the program"},                       // 5
    {"Проверить почту", "Provare Posta", "Check Mail", "Uberprufen Sie Post"},                                     // 6
    {"Выбрать почтовую программу", "Seleziona il programma di posta", "Select Mail Client", "Select Mail Client"}, // 7
    {"Старт", "Avvio", "Start", "Start"},                                                                          // 8
    {"Стоп", "Stop", "Stop", "Stop"},                                                                              // 9
    {"Рестарт", "Ricomincia", "Restart", "Wiederbeginnen"},                                                        // 10
    {"Язык", "Lingua", "Language", "Sprache"},                                                                     // 11
    {"Файл", "File", "File", "File"},                                                                              // 12
    {"Показать адреса полученных писем", "Mostra gli indirizzi dei messaggi ricevuti",
     "Show addresses of received messages", "Zeigen Adressen der empfangenen Meldungen"}, // 13
    {"Адреса полученных писем", "Gli indirizzi dei messaggi ricevuti", "Addresses of received messages",
     "Adressen der empfangenen Meldungen"},                              // 14
    {"Вы уверены?", "Sei sicuro?", "Are you sure?", "Sind Sie sicher?"}, // 15
    {"Запустить почтовую программу", "Avvia il programma di posta", "Run Mail Client",
     "Laufen PostKlient programm"},                                                       // 16
    {"Свернуть", "Minimizza", "Minimize", "Minimize"},                                    // 17
    {"Добавить запись", "Aggiungi account", "Add new account", "Fugen Account hinzu"},    // 18
    {"Редактир. запись", "Stampa account", "Edit account", "Bearbeiten Account"},         // 19
    {"Удалить запись", "Cancella account", "Delete account", "LoschungAccount"},          // 20
    {"Удалить", "Elimina", "Delete", "Loschung"},                                         // 21
    {"Копировать запись", "Copii account", "Copy account", "Kopieren Account"},           // 22
    {"Вставить запись", "Incolla account", "Paste account", "Paste Account"},             // 23
    {"Активировать запись", "Attiva account", "Enable account", "Enable account"},        // 24
    {"Деактивировать запись", "Disattiva account", "Disable account", "Disable account"}, // 25
    {"Активировать/деактивировать запись", "Attiva/disattiva account", "Enable/disable account",
     "Enable/disable account"},                                               // 26
    {"Выдел.все", "Selez.tutto", "Select all", "Wahlen alle"},                // 27
    {"Снять выделение", "Diseleziona tutto", "Unselect all", "Unselect all"}, // 28
    {"запускать вместе с сеансом рабочего стола", "avviare con la sessione del desktop",
     "start with the desktop session", "mit der Desktop-Sitzung starten"},                        // 29
    {"свернуть при старте", "iniziare minimizzato", "start minimized", "start herabgesetzt"},     // 30
    {"Восстановить", "Restore", "Restore", "Wiederherstellung"},                                  // 31
    {"звук", "suono", "sound on", "Ton an"},                                                      // 32
    {"Выполняется", "Esecuzione", "Executing", "Ausfuhrung"},                                     // 33
    {"Интервал (мин):", "Intervallo (minuti):", "Interval (min):", "Intervall (Minuten):"},       // 34
    {"Время ожидания", "Timeout", "Timeout", "Timeout"},                                          // 35
    {"сек.", "sec.", "sec.", "sec."},                                                             // 36
    {"сейчас:", "ora:", "now:", "jetzt:"},                                                        // 37
    {"выполнено:", "eseguito:", "executed:", "ausgefuhrt:"},                                      // 38
    {"Почтовый сервер (POP3)", "Mail server (Pop3)", "Mail Server (POP3)", "Mail server (Pop3)"}, // 39
    {"Учетная запись", "Nome di account", "Account Name", "AccountName"},                         // 40
    {"Пароль", "Parola d'accesso", "Password", "Kennwort"},                                       // 41
    {"Порт", "Porta", "Port", "Kanal"},                                                           // 42
    {"Добавить", "Aggiungi", "Apply", "Ubernehmen"},                                              // 43
    {"Отмена", "Annulla", "Cancel", "Loschen"},                                                   // 44
    {"настройки", "impostazioni", "settings", "optionen"},                                        // 45
    {"условия уведомления", "opzioni d'avviso", "notice conditions", "begriffszustande"},         // 46
    {"СООБЩАТЬ ЕСЛИ", "INFORMAMI SE", "INFORM ME IF", "INFORMIEREN MICH WENN"},                   // 47
    {"адрес отправителя содержит", "l'indirizzo del mittente contiene", "the sender's address contains",
     "die Adresse des Absenders enthalt"},                                                                       // 48
    {"тема сообщения содержит", "l'argomento contiene", "the subject field contains", "das Sachgebiet enthalt"}, // 49
    {"сообщение содержит вложения", "il messaggio ha allegati", "the message has attachments",
     "die Meldung hat Befestigungen"}, // 50
    {"сохранить сообщение в файле", "salva il messaggio in un file", "save message in file",
     "schreiben Meldung in der Datei"},                                                                   // 51
    {"всегда перезаписывать", "scriva sopra sempre", "overwrite always", "overwrite always"},             // 52
    {"адрес или его часть", "l' indirizzo o sua parte", "address or its part", "Adresse oder sein Teil"}, // 53
    {"тема", "subject o sua parte", "subject or its part", "subject or its part"},                        // 54
    {"ANTISPAM список", "LISTA DI ANTISPAM", "ANTISPAM LIST", "ANTISPAM-LISTE"},                          // 55
    {"(сообщения с этих адресов удаляются с сервера)",
     "(i messaggi da questi indirizzi saranno eliminati dal mail server)",
     "(messages from these addresses will be deleted from mail server)",
     "(Meldungen von diesen Adressen werden aus mail server geloscht)"},                           // 56
    {"В список antispam", "Alla lista del antispam", "To antispam list", "In der ANTISPAM-Liste"}, // 57
    {"Новый", "Nouvo", "New", "Neu"},                                                              // 58
    {"Ред.", "Stampa", "Edit", "Edit"},                                                            // 59
    {"редактировать адрес", "stampa l'indirizzo", "edit address", "bearbeiten Adresse"},           // 60
    {"Сохранить", "Salva", "Save", "Speichern"},                                                   // 61
    {"получено", "ricevuti", "you have", "Sie haben"},                                             // 62
    {"всего", "in totale", "in total", "in der Gesamtmenge"},                                      // 63
    {"сообщений", "messaggi", "messages", "Meldungen"},                                            // 64
    {"нет новых сообщений", "non ci sono i messaggi nuovi", "you haven't new messages",
     "es gibt nicht neue Meldungen"},                                                                     // 65
    {"соединение...", "collegamento...", "connecting...", "connecting..."},                               // 66
    {"соединение c", "collegamento al", "connecting to", "connecting to"},                                // 67
    {"есть соединение c", "collegato al", "connected to", "connected to"},                                // 68
    {"отсоединение от", "scollegato dal", "disconnected from", "disconnected from"},                      // 69
    {"Найдена новая версия", "Trovata la versione nuova", "Founded new version", "Founded new version"},  // 70
    {"Загрузить сейчас?", "Scaricarla ora?", "Download it now?", "Download it now?"},                     // 71
    {"Успешно загружен", "Scaricato con successo", "Successfully downloaded", "Successfully downloaded"}, // 72
    {"Ошибка загрузки файла", "Errore di scaricamento del file", "Unable to download file",
     "Unable to download file"}, // 73
    {"проверять новую версию на сайте", "controlli la versione nuova al sito", "check for new version on the site",
     "check for new version on the site"}, // 74
    {"Можно использовать маску (?, *)", "E possibile usare i simboli di maschera (?, *)",
     "It is possible to use mask symbols (?, *)", "It is possible to use mask symbols (?, *)"}, // 75
    {"(сообщения, содержащие эти темы удаляются с сервера)",
     "(i messaggi con questi temi saranno eliminati dal mail server)",
     "(messages with these subjects will be deleted from mail server)",
     "(messages with these subjects will be deleted from mail server)"},                                   // 76
    {"показывать уведомление", "mostra una notifica", "show a notification", "Benachrichtigung anzeigen"}, // 77
    {"Пароль хранится в связке ключей рабочего стола, которая не запущена.",
     "La password e conservata nel portachiavi del desktop, che non e in esecuzione.",
     "The password is kept in the desktop keyring, which is not running.",
     "Das Passwort liegt im Schlusselbund des Desktops, der nicht lauft."}, // 78
    {"Пароль хранится в связке ключей рабочего стола, которая заблокирована.",
     "La password e conservata nel portachiavi del desktop, che e bloccato.",
     "The password is kept in the desktop keyring, which is locked.",
     "Das Passwort liegt im Schlusselbund des Desktops, der gesperrt ist."}, // 79
    {"Пароль хранится в связке ключей рабочего стола, в которой нет записи для этой учётной записи.",
     "La password e conservata nel portachiavi del desktop, che non ha una voce per questo account.",
     "The password is kept in the desktop keyring, which holds no entry for this account.",
     "Das Passwort liegt im Schlusselbund des Desktops, der keinen Eintrag fur dieses Konto hat."}, // 80
    {"Связка ключей рабочего стола не ответила вовремя.", "Il portachiavi del desktop non ha risposto in tempo.",
     "The desktop keyring did not answer in time.", "Der Schlusselbund des Desktops hat nicht rechtzeitig geantwortet."}, // 81
    {"Хранить пароль в", "Conserva la password in", "Keep the password in", "Passwort aufbewahren in"},       // 82
    {"связке ключей рабочего стола", "portachiavi del desktop", "the desktop keyring", "Schlusselbund des Desktops"}, // 83
    {"файле настроек", "file delle impostazioni", "the settings file", "Einstellungsdatei"},                 // 84
    {"Перенести все пароли в связку ключей", "Sposta tutte le password nel portachiavi",
     "Move all passwords to the keyring", "Alle Passworter in den Schlusselbund verschieben"}, // 85
    {"Паролей перенесено:", "Password spostate:", "Passwords moved:", "Verschobene Passworter:"},            // 86
    {"Не перенесены:", "Non spostate:", "Not moved:", "Nicht verschoben:"},                                  // 87
    {"Ожидание связки ключей рабочего стола...", "In attesa del portachiavi del desktop...",
     "Waiting for the desktop keyring...", "Warten auf den Schlusselbund des Desktops..."}, // 88
    {"Ошибка связки ключей рабочего стола:", "Errore del portachiavi del desktop:", "The desktop keyring failed:",
     "Fehler des Schlusselbunds des Desktops:"}, // 89
    {"Остались в связке ключей рабочего стола:", "Rimaste nel portachiavi del desktop:",
     "Left in the desktop keyring:", "Im Schlusselbund des Desktops geblieben:"}, // 90
    {"Протокол", "Protocollo", "Protocol", "Protokoll"},                                                     // 91
    {"Папки", "Cartelle", "Folders", "Ordner"}, // 92
    {"Спам", "Spam", "Spam", "Spam"}, // 93
    {"переместить в папку спама", "sposta nella cartella spam", "move to the junk folder", "in den Spam-Ordner verschieben"}, // 94
    {"переместить в корзину", "sposta nel cestino", "move to the trash folder", "in den Papierkorb verschieben"}, // 95
    {"удалить с сервера", "elimina dal server", "delete from the server", "vom Server loschen"}, // 96
    {"Папка спама", "Cartella spam", "Junk folder", "Spam-Ordner"}, // 97
    {"Корзина", "Cestino", "Trash folder", "Papierkorb"}, // 98
    {"Почтовый сервер (IMAP)", "Mail server (Imap)", "Mail Server (IMAP)", "Mail server (Imap)"}, // 99
}};

// Names a screen reader reads for the main window's lists and status line, and for the controls of
// the window and its dialogs that have no caption of their own.
constexpr std::array<std::array<const char*, 4>, 17> kAccessibleNameRows = {{
    {"Учетные записи", "Account", "Accounts", "Konten"},
    {"Список antispam адресов", "Lista antispam degli indirizzi", "Anti-spam sender list", "ANTISPAM-Absenderliste"},
    {"Список antispam тем", "Lista antispam dei temi", "Anti-spam subject list", "ANTISPAM-Betreffliste"},
    {"Состояние", "Stato", "Status", "Status"},
    {"Значок программы", "Icona del programma", "Program icon", "Programmsymbol"},
    {"Адреса", "Indirizzi", "Addresses", "Adressen"},
    {"Почтовая программа", "Programma di posta", "Mail client", "Mail client"},
    {"Значение", "Valore", "Value", "Wert"},
    {"Добавить значение отправителя", "Aggiungi valore del mittente", "Add sender value", "Absenderwert hinzufugen"},
    {"Удалить значение отправителя", "Rimuovi valore del mittente", "Remove sender value", "Absenderwert entfernen"},
    {"Добавить значение темы", "Aggiungi valore dell'oggetto", "Add subject value", "Betreffwert hinzufugen"},
    {"Удалить значение темы", "Rimuovi valore dell'oggetto", "Remove subject value", "Betreffwert entfernen"},
    {"Выбрать файл для писем", "Scegli il file dei messaggi", "Choose message file", "Nachrichtendatei wahlen"},
    {"Значения отправителя", "Valori del mittente", "Sender values", "Absenderwerte"},
    {"Значения темы", "Valori dell'oggetto", "Subject values", "Betreffwerte"},
    {"Файл для писем", "File dei messaggi", "Message file", "Nachrichtendatei"},
    {"Отметить все как прочитанные", "Segna tutti come letti", "Mark all as read", "Alle als gelesen markieren"},
}};

// Rows that came later, after the accessible names: push (the account dialog's choice and what
// an account's row says about its connection), then the box for news until the user has looked.
constexpr std::array<std::array<const char*, 4>, 4> kLaterRows = {{
    {"Новая почта сразу (IDLE)", "Nuova posta subito (IDLE)", "New mail at once (IDLE)", "Neue Post sofort (IDLE)"},
    {"подключено для push", "connesso per il push", "connected for push", "fur Push verbunden"},
    {"нет подключения для push", "non connesso per il push", "not connected for push", "nicht fur Push verbunden"},
    {"новое только до просмотра", "nuove solo fino alla lettura", "news only until I have looked", "neu nur bis ich sie angesehen habe"},
}};

} // namespace

void BuildLanguageTable(TLangRes& lr) {
    lr.Create({"RU", "IT", "EN", "DE"},
              static_cast<std::int32_t>(kRows.size() + kAccessibleNameRows.size() + kLaterRows.size()));
    lr.setDefaultLang("EN");
    for (const auto& row : kRows)
        lr.AddRow({row[0], row[1], row[2], row[3]});
    for (const auto& row : kAccessibleNameRows)
        lr.AddRow({row[0], row[1], row[2], row[3]});
    for (const auto& row : kLaterRows)
        lr.AddRow({row[0], row[1], row[2], row[3]});
}

} // namespace qm
