// The check cycle's handlers of the main window; the work is done by its CheckWiring.
#include "app/CheckWiring.h"
#include "app/MainWindow.h"

namespace qm {

void TmQuillmere::cbExecClick() {
    m_check->cbExecClick();
}

void TmQuillmere::TmTimer() {
    m_check->TmTimer();
}

void TmQuillmere::aCheckMailExecute() {
    m_check->aCheckMailExecute();
}

void TmQuillmere::aRestartExecute() {
    m_check->aRestartExecute();
}

} // namespace qm
