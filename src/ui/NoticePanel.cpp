#include "ui/NoticePanel.h"

#include "lang/LangRes.h"
#include "ui/CodePageText.h"
#include "ui/ValueDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

namespace qm {

namespace {

constexpr int kBytesRole = Qt::UserRole + 1;

void fillValueList(QComboBox* box, const std::string& stored) {
    box->clear();
    for (const std::string& value : SplitValueList(stored)) {
        AddSortedItem(box, value);
    }
    box->setCurrentIndex(box->count() > 0 ? 0 : -1);
}

} // namespace

void AddSortedItem(QComboBox* box, const std::string& bytes) {
    const QString text = fromCodePage(bytes);
    int index = 0;
    while (index < box->count() && QString::compare(box->itemText(index), text, Qt::CaseInsensitive) <= 0) {
        ++index;
    }
    box->insertItem(index, text, QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

std::vector<std::string> ValueItems(const QComboBox* box) {
    std::vector<std::string> values;
    values.reserve(static_cast<size_t>(box->count()));
    for (int i = 0; i < box->count(); ++i) {
        const QVariant data = box->itemData(i);
        if (data.isValid()) {
            const QByteArray raw = data.toByteArray();
            values.emplace_back(raw.constData(), static_cast<size_t>(raw.size()));
        } else {
            values.push_back(toCodePage(box->itemText(i)));
        }
    }
    return values;
}

NoticePanel::NoticePanel(const Controls& controls, TfmValue* dialog, QWidget* dialogParent, QObject* parent)
    : QObject(parent), m_c(controls), m_dialog(dialog), m_dialogParent(dialogParent) {
    for (QComboBox* box : {m_c.cFromAddress, m_c.cSubject}) {
        // A sorted drop-down list without typing; the sorting is AddSortedItem's.
        box->setEditable(false);
        box->setInsertPolicy(QComboBox::NoInsert);
    }
    connect(m_c.SpeedButton1, &QToolButton::clicked, this, &NoticePanel::SpeedButton1Click);
    connect(m_c.SpeedButton2, &QToolButton::clicked, this, &NoticePanel::SpeedButton2Click);
    connect(m_c.SpeedButton3, &QToolButton::clicked, this, &NoticePanel::SpeedButton3Click);
    connect(m_c.SpeedButton4, &QToolButton::clicked, this, &NoticePanel::SpeedButton4Click);
    connect(m_c.SpeedButton13, &QToolButton::clicked, this, &NoticePanel::SpeedButton13Click);
    connect(m_c.eFileName, &QLineEdit::textChanged, this, &NoticePanel::eFileNameChange);
    setLanguage(m_language);
}

void NoticePanel::setLanguage(const std::string& code) {
    m_language = code;
    // Names for screen readers where the caption is a sign or there is none.
    const std::pair<QWidget*, const char*> names[] = {
        {m_c.SpeedButton1, "Add sender value"},     {m_c.SpeedButton2, "Remove sender value"},
        {m_c.SpeedButton3, "Add subject value"},    {m_c.SpeedButton4, "Remove subject value"},
        {m_c.SpeedButton13, "Choose message file"}, {m_c.cFromAddress, "Sender values"},
        {m_c.cSubject, "Subject values"},           {m_c.eFileName, "Message file"},
    };
    for (const auto& [widget, english] : names) {
        widget->setAccessibleName(tr_(english));
    }
}

QString NoticePanel::tr_(const char* english) const {
    return fromUtf8(Translate(english, "EN", m_language));
}

void NoticePanel::load(const MonitorSettings& settings) {
    m_c.cbInform->setChecked(settings.Inform);
    m_c.cbFromAddress->setChecked(settings.UseFrom);
    m_c.cbSubject->setChecked(settings.UseSubject);
    m_c.cbAttach->setChecked(settings.Attach);
    m_c.cbWriteToFile->setChecked(settings.WriteToFile);
    m_c.cbOverwrite->setChecked(settings.Overwrite);
    m_fromAddress = settings.FromAddress;
    m_subject = settings.Subject;
    fillValueList(m_c.cFromAddress, m_fromAddress);
    fillValueList(m_c.cSubject, m_subject);
    m_c.eFileName->setText(fromCodePage(settings.FileName));
    // The stored bytes, not the round trip through the shown text.
    m_fileName = settings.FileName;
}

void NoticePanel::store(MonitorSettings& settings) const {
    settings.Inform = m_c.cbInform->isChecked();
    settings.UseFrom = m_c.cbFromAddress->isChecked();
    settings.UseSubject = m_c.cbSubject->isChecked();
    settings.Attach = m_c.cbAttach->isChecked();
    settings.WriteToFile = m_c.cbWriteToFile->isChecked();
    settings.Overwrite = m_c.cbOverwrite->isChecked();
    // Taken from the lists themselves, so a value changed in any way is stored as shown.
    settings.FromAddress = JoinValueList(fromValues());
    settings.Subject = JoinValueList(subjectValues());
    settings.FileName = m_fileName;
}

std::vector<std::string> NoticePanel::fromValues() const {
    return ValueItems(m_c.cFromAddress);
}

std::vector<std::string> NoticePanel::subjectValues() const {
    return ValueItems(m_c.cSubject);
}

void NoticePanel::RebuildValueLists() {
    m_fromAddress = JoinValueList(fromValues());
    m_subject = JoinValueList(subjectValues());
}

void NoticePanel::addValue(QComboBox* box, const char* caption) {
    m_dialog->eValue()->clear();
    m_dialog->setWindowTitle(tr_(caption));
    m_dialog->bbAddEdit()->setText(tr_("Save"));
    m_dialog->setCommonTexts(m_language);
    if (m_dialog->exec() != QDialog::Accepted) {
        return;
    }
    const std::string value = m_dialog->valueBytes();
    if (value.empty()) {
        return;
    }
    AddSortedItem(box, value);
    box->setCurrentIndex(0);
    RebuildValueLists();
}

void NoticePanel::removeValue(QComboBox* box) {
    const int shown = box->currentIndex();
    if (shown < 0 || shown >= box->count()) {
        return;
    }
    box->removeItem(shown);
    RebuildValueLists();
    // An empty list shows no text.
    box->setCurrentIndex(box->count() > 0 ? 0 : -1);
}

void NoticePanel::SpeedButton1Click() {
    addValue(m_c.cFromAddress, "address or its part");
}

void NoticePanel::SpeedButton2Click() {
    removeValue(m_c.cFromAddress);
}

void NoticePanel::SpeedButton3Click() {
    addValue(m_c.cSubject, "the subject field contains");
}

void NoticePanel::SpeedButton4Click() {
    removeValue(m_c.cSubject);
}

void NoticePanel::SpeedButton13Click() {
    QFileDialog dialog(m_dialogParent);
    dialog.setObjectName(QStringLiteral("OpenDialog1"));
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilters({QStringLiteral("Text files (*.txt)"), QStringLiteral("All files (*)")});
    const QString current = fromCodePage(m_fileName);
    if (!current.isEmpty()) {
        dialog.selectFile(current);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return;
    }
    const QString chosen = dialog.selectedFiles().constFirst();
    m_c.eFileName->setText(chosen);
    // The file name as the file system spells it; the text shown follows it.
    m_fileName = toCodePage(chosen);
}

void NoticePanel::eFileNameChange() {
    m_fileName = toCodePage(m_c.eFileName->text());
}

} // namespace qm
