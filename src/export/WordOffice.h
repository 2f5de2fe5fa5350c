#pragma once

// What the two builds of the binding (with the office, without it) provide
// beyond the public functions of WordConnection.h.

namespace tarnvik::word::detail {
// Drops the links to the office for good, without closing it.
void releaseConnections();
} // namespace tarnvik::word::detail
