#pragma once

#include <QDialog>

namespace qm {

// The About box; its content is not laid out yet.
class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);
};

// The dialog choosing the mail client program; its content is not laid out yet.
class TselMailCl_fm : public QDialog {
    Q_OBJECT
public:
    explicit TselMailCl_fm(QWidget* parent = nullptr);
};

} // namespace qm
