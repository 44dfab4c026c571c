#pragma once

#include <QPixmap>
#include <QString>

namespace corvalis::qt {

// A PNG or BMP file (or resource) read by Qt's own handler for its suffix. Left to guess, Qt
// would load every image plugin it has, and the libraries behind them, to ask each whether it
// reads the file: time and memory before the first paint that the window does not need.
[[nodiscard]] QPixmap builtInPicture(const QString& file);

}  // namespace corvalis::qt
