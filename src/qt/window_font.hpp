#pragma once

#include <QFont>

namespace corvalis::qt {

// Makes a Tahoma Bold available when one is on disk but outside the system's font configuration,
// as Wine's copy is on Debian. Every text of the window is bold, so the regular face is not loaded.
// Call once, after the application object exists.
void loadTahoma();

// Tahoma 8.25 pt bold, or a bold sans-serif that fits the same boxes where no Tahoma is found.
[[nodiscard]] QFont windowFont();

}  // namespace corvalis::qt
