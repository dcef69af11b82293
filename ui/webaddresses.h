#pragma once

#include <QString>
#include <QUrl>

// Every web address the program hands to the desktop, in one place.

/// The help page shipped with the program: help.html in the program's own folder (the Windows
/// release folder), share/glowsweep-wizard/ beside the installed program's folder, or the
/// source tree when the program runs from its build folder.
QUrl HelpPageUrl();
QUrl ProductHomePageUrl();
QUrl MakerHomePageUrl();

/// The maker's notice, the about box's link to the maker's home page.
inline const QString MakerNotice = QStringLiteral("\u00a9 2026 Kestrion. All rights reserved.");

class QWidget;

/// Hands `url` to the desktop's default handler. When the desktop has none to hand it to (no
/// browser is installed), an information box over `owner` gives the address instead, so that
/// the user can open it by hand. A handler that starts and then fails is not seen.
void OpenWebAddress(const QUrl &url, QWidget *owner);

/// The text of that box: the help page's path as the system writes paths, or the web address.
QString NoBrowserText(const QUrl &url);
