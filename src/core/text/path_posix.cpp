#include "text/path.hpp"

namespace corvalis::text {

const char kPathSeparator = '/';

}  // namespace corvalis::text
