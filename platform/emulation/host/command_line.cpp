// Linked into the tool's own executable only, never into the tests: a run
// from the command line is not inspected afterwards, so the emulation keeps
// no journal and only the most recently released objects, and the run's
// memory stays flat however many mailboxes it tests.
#include "platform/emulation/control.h"

namespace {

const bool kRetentionChosen = (emulation::SetRetention(emulation::Retention::Recent), true);

}  // namespace
