#pragma once

class QLabel;
class QWidget;

namespace qm {

// A label of the account dialog, named for tests and tied to the field it names.
QLabel* makeLabel(const char* name, QWidget* buddy, QWidget* parent);

} // namespace qm
