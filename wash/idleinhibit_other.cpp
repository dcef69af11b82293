#include "wash/idleinhibit.h"

// Built without Wayland support: only the desktop's screen-saver service keeps the display awake.
class IdleInhibitor::Impl {};

IdleInhibitor::IdleInhibitor(QWindow *) {}

IdleInhibitor::~IdleInhibitor() = default;
