// The refresh tick: enabled states, captions and colours from the current state, five times a second.
#include "app/CheckWiring.h"
#include "app/MainWindow.h"

#include "app/DateTimeText.h"
#include "app/TrayFacade.h"
#include "ui/AccountActions.h"
#include "ui/ImageLists.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QSpinBox>
#include <QTimer>

namespace qm {

namespace {

constexpr const char* kImageProperty = "qmImageIndex";

void setActionImage(QAction* command, int image) {
    if (command->property(kImageProperty).toInt() == image && command->property(kImageProperty).isValid()) {
        return;
    }
    command->setProperty(kImageProperty, image);
    command->setIcon(ActionImage(image));
}

} // namespace

void TmQuillmere::setTextColour(QWidget* widget, bool blue) {
    QPalette palette = widget->palette();
    const QColor colour = blue ? QColor(Qt::blue) : QApplication::palette(widget).color(QPalette::WindowText);
    if (palette.color(QPalette::WindowText) == colour) {
        return;
    }
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::ButtonText, colour);
    widget->setPalette(palette);
}

void TmQuillmere::refreshTimerTimer() {
    const bool executing = m_cbExec->isChecked();

    m_accountActions->refreshEnabling(executing);
    action("aShowMessagesList")->setEnabled(executing && !m_check->cycle().ReceivedAddresses().empty());
    m_seInterval->setEnabled(!executing);

    const struct {
        QListWidget* box;
        const char* edit;
        const char* others[3];
    } lists[] = {{m_clbAntiSpam, "aEditAddress", {"aDelChecked", "aCheckAll", "aUncheckAll"}},
                 {m_clbSubjAntiSpam, "aEditSubject", {"aDelCheckedSubj", "aCheckAllSubj", "aUncheckAllSubj"}}};
    for (const auto& list : lists) {
        const bool current = list.box->currentRow() >= 0 && list.box->count() > 0;
        QAction* edit = action(list.edit);
        edit->setEnabled(current);
        setActionImage(edit, current ? 2 : 3);
        for (const char* other : list.others) {
            action(other)->setEnabled(current);
        }
    }

    // Tm runs only while Executing waits for the next check.
    if (m_Tm->isActive()) {
        setTextColour(m_cbExec, true);
        setTextColour(m_lbTimeNow, true);
        action("aCheckMail")->setText(tr_("Stop"));
    } else {
        setTextColour(m_cbExec, false);
        setTextColour(m_lbTimeNow, false);
        action("aCheckMail")->setText(tr_("Start"));
        if (m_tray) {
            m_tray->setIconList(imStopped);
            m_tray->setIconIndex(0);
        }
    }
    update();
    m_lbTimeNow->setText(DateTimeText(QDateTime::currentDateTime()));

    std::optional<std::string> offer;
    {
        std::lock_guard<std::mutex> lock(m_updateMutex);
        offer.swap(m_updateResult);
    }
    if (offer) {
        // Asked at most once per run: the slot is empty again whatever OfferUpdate does.
        m_refreshTimer->stop();
        try {
            if (OfferUpdate) {
                OfferUpdate(*offer);
            }
        } catch (...) {
        }
        m_refreshTimer->start();
    }

    m_clbAntiSpam->setEnabled(m_cbAntiSpamEnabled->isChecked());
    m_clbSubjAntiSpam->setEnabled(m_cbAntiSpamSubjEnabled->isChecked());
}

} // namespace qm
