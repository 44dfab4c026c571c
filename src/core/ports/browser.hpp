#pragma once

#include <string_view>

namespace corvalis::ports {

class Browser {
public:
    virtual ~Browser() = default;
    // Opens the URL in the default browser; the outcome is not examined.
    virtual void open(std::string_view url) = 0;
};

}  // namespace corvalis::ports
