#include "app/terminationsignals.h"

// No signal asks a desktop program to end here: the session's end reaches it as a close of its
// windows or through the session manager's request to save.

TerminationSignals::TerminationSignals(QObject *parent)
    : QObject(parent)
{
}

TerminationSignals::~TerminationSignals() = default;

void TerminationSignals::Drain() {}

void TerminationSignals::EndAsReceived() {}
