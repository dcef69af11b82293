#pragma once

#include <QFont>

/// The windows' font: 8 points at 96 dpi, that is 11 pixels, in "MS Sans Serif" where the
/// system has it and in the system's sans-serif face elsewhere.
inline QFont FormFont()
{
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    return font;
}
