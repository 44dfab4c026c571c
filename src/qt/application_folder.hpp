#pragma once

#include "app/frm_cv.hpp"

namespace corvalis::qt {

// The program's folders, UTF-8 with native separators. Tol-Cloud.rdp is beside the program;
// pelmark.ini too, or, in a build for a system package (CORVALIS_SETTINGS_IN_USER_CONFIG), where
// its users can write: $XDG_CONFIG_HOME/corvalis (~/.config/corvalis by default), made if missing.
[[nodiscard]] app::Folders folders();

}  // namespace corvalis::qt
