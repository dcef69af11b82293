#pragma once

#include <QCursor>

/// The application cursor number under which start-up installs the system's hand pointer.
inline constexpr int HandCursor = 101;

/// Installs `cursor` as application cursor `number`, in place of whatever it held.
void SetApplicationCursor(int number, const QCursor &cursor);
/// Application cursor `number`; the default arrow when nothing is installed under it.
QCursor ApplicationCursor(int number);
