#pragma once

namespace qm {

// The monitor's process: one instance per user, the main window and its dialogs, the event loop.
// A second start asks the running monitor to show its window and returns at once.
int RunQuillmere(int argc, char** argv);

} // namespace qm
