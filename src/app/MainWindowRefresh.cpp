// The refresh tick: enabled states, captions and colours from the current state, five times a second.
#include "app/CheckWiring.h"
#include "app/MainWindow.h"

#include "app/DateTimeText.h"
#include "app/TrayFacade.h"
#include "ui/AccountActions.h"
#include "ui/ImageLists.h"
#include "ui/ReadableColour.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDateTime>
#include <QLabel>
#include <QListWidget>
#include <QSpinBox>
#include <QTimer>

namespace qm {

namespace {

constexpr const char* kImageProperty = "qmImageIndex";

// Whether the picture changed; an unchanged one is not looked up or rendered again. `shown`
// remembers the image last given (-1: none yet).
bool setActionImage(QAction* command, int& shown, int image) {
    if (shown == image) {
        return false;
    }
    shown = image;
    command->setProperty(kImageProperty, image);
    command->setIcon(ActionImage(image));
    return true;
}

} // namespace

bool TmQuillmere::setTextColour(QWidget* widget, bool blue) {
    QPalette palette = widget->palette();
    const QPalette theme = QApplication::palette(widget);
    const QColor colour = blue ? ReadableOn(Qt::blue, theme.color(QPalette::Window)) : theme.color(QPalette::WindowText);
    if (palette.color(QPalette::WindowText) == colour) {
        return false;
    }
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::ButtonText, colour);
    widget->setPalette(palette);
    return true;
}

const TmQuillmere::RefreshTargets& TmQuillmere::refreshTargets() {
    // Looked up once: a search through every child of the window five times a second is most of
    // an idle tick's cost.
    if (m_refreshTargets.checkMail == nullptr) {
        static const char* const names[2][4] = {
            {"aEditAddress", "aDelChecked", "aCheckAll", "aUncheckAll"},
            {"aEditSubject", "aDelCheckedSubj", "aCheckAllSubj", "aUncheckAllSubj"}};
        for (std::size_t list = 0; list < 2; ++list) {
            for (std::size_t i = 0; i < 4; ++i) {
                m_refreshTargets.listCommands[list][i] = action(names[list][i]);
            }
        }
        m_refreshTargets.showMessagesList = action("aShowMessagesList");
        m_refreshTargets.checkMail = action("aCheckMail");
    }
    return m_refreshTargets;
}

const QString& TmQuillmere::clockText() {
    // The clock shows whole seconds: the date is formatted again only when the second changes.
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const qint64 second = now / 1000;
    if (second != m_clockSecond || m_clockText.isEmpty()) {
        // Local time needs the zone's rules read afresh; they change the offset from UTC only at
        // whole minutes, so they are read once a minute.
        if (m_clockSecond < 0 || second / 60 != m_clockSecond / 60) {
            m_clockOffset = QDateTime::fromMSecsSinceEpoch(now).offsetFromUtc();
        }
        m_clockSecond = second;
        m_clockText = DateTimeText(QDateTime::fromMSecsSinceEpoch(now, Qt::OffsetFromUTC, m_clockOffset));
    }
    return m_clockText;
}

void TmQuillmere::refreshTimerTimer() {
    const bool executing = m_cbExec->isChecked();
    const RefreshTargets& targets = refreshTargets();
    // Controls repaint themselves when a setter changes them, and the setters below do nothing
    // when the value is already there; the whole window is repainted only when colours or
    // pictures changed.
    bool repaint = false;

    m_accountActions->refreshEnabling(executing);
    targets.showMessagesList->setEnabled(executing && !m_check->cycle().ReceivedAddresses().empty());
    m_seInterval->setEnabled(!executing);

    QListWidget* const boxes[2] = {m_clbAntiSpam, m_clbSubjAntiSpam};
    for (std::size_t list = 0; list < 2; ++list) {
        const bool current = boxes[list]->currentRow() >= 0 && boxes[list]->count() > 0;
        for (QAction* command : targets.listCommands[list]) {
            command->setEnabled(current);
        }
        repaint |= setActionImage(targets.listCommands[list][0], m_refreshTargets.editImage[list], current ? 2 : 3);
    }

    // Tm runs only while Executing waits for the next check.
    const bool waiting = m_Tm->isActive();
    // The colours follow the waiting state and the plain colour of the application's palette.
    const TextColours colours{waiting, QApplication::palette(m_cbExec).cacheKey(),
                              QApplication::palette(m_lbTimeNow).cacheKey()};
    if (colours != m_textColours) {
        repaint |= setTextColour(m_cbExec, waiting);
        repaint |= setTextColour(m_lbTimeNow, waiting);
        m_textColours = colours;
    }
    if (m_checkMailCaptions.language != m_currentLanguage) {
        m_checkMailCaptions = {m_currentLanguage, tr_("Start"), tr_("Stop")};
    }
    targets.checkMail->setText(waiting ? m_checkMailCaptions.stop : m_checkMailCaptions.start);
    if (!waiting && m_tray) {
        m_tray->setIconList(imStopped);
        m_tray->setIconIndex(0);
    }
    if (repaint) {
        update();
    }
    m_lbTimeNow->setText(clockText());

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
