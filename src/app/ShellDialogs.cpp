#include "app/ShellDialogs.h"

namespace qm {

namespace {

void makeDialog(QDialog* dialog, const char* objectName, const char* caption) {
    dialog->setObjectName(QString::fromLatin1(objectName));
    dialog->setWindowTitle(QString::fromUtf8(caption));
    dialog->setModal(true);
}

} // namespace

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
    makeDialog(this, "AboutBox", "About");
}

TselMailCl_fm::TselMailCl_fm(QWidget* parent) : QDialog(parent) {
    makeDialog(this, "selMailCl_fm", "Set path to mail client");
}

} // namespace qm
