#pragma once

#include <QByteArray>
#include <cstdint>

/// The program's version in hundredths: 100 reads "1.00".
inline constexpr int32_t ProgramVersion = 100;

/// `s` with "0" put in front until it is `width` characters long; a width not greater
/// than the length leaves `s` as it is.
QByteArray PadLeftZeros(QByteArray s, int32_t width);

/// A version in hundredths as text: 105 -> "1.05", 7 -> "0.07", 1234 -> "12.34".
/// Whole part and fraction come from 32-bit division truncating toward zero.
QByteArray FormatVersion(int32_t v);
