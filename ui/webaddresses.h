#pragma once

#include <QString>
#include <QUrl>

// Every web address the program hands to the desktop, in one place.

/// The help page shipped with the program: beside the installed program, or in the source
/// tree when the program runs from its build folder.
QUrl HelpPageUrl();
QUrl ProductHomePageUrl();
QUrl MakerHomePageUrl();

/// The maker's notice, the about box's link to the maker's home page.
inline const QString MakerNotice = QStringLiteral("\u00a9 2026 Kestrion. All rights reserved.");

/// Hands `url` to the desktop's default handler; whether a browser starts is not examined.
void OpenWebAddress(const QUrl &url);
