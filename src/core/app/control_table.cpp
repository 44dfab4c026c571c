#include "app/control_table.hpp"

#include <algorithm>

namespace corvalis::app {

std::vector<ControlId> focusOrder() {
    std::vector<ControlId> order;
    for (const ControlDefinition& definition : kControls) {
        if (definition.kind == ControlKind::TextBox || definition.kind == ControlKind::Button) {
            order.push_back(definition.id);
        }
    }
    std::sort(order.begin(), order.end(),
              [](ControlId a, ControlId b) { return control(a).tabIndex < control(b).tabIndex; });
    return order;
}

}  // namespace corvalis::app
