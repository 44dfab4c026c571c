#pragma once

#include "launch/launchers.hpp"

namespace corvalis::qt {

// The default browser through QDesktopServices, which also honours a handler set for "http".
class DesktopBrowser final : public ports::Browser {
public:
    void open(std::string_view url) override;
};

}  // namespace corvalis::qt
