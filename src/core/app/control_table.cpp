#include "app/control_table.hpp"

#include <algorithm>

namespace corvalis::app {

std::vector<ControlId> focusOrder() {
    std::vector<const ControlDefinition*> focusable;
    for (const ControlDefinition& definition : kControls) {
        if (definition.kind == ControlKind::TextBox || definition.kind == ControlKind::Button) {
            focusable.push_back(&definition);
        }
    }
    std::sort(focusable.begin(), focusable.end(),
              [](const ControlDefinition* a, const ControlDefinition* b) {
                  return a->tabIndex < b->tabIndex;
              });
    std::vector<ControlId> order;
    order.reserve(focusable.size());
    for (const ControlDefinition* definition : focusable) {
        order.push_back(definition->id);
    }
    return order;
}

}  // namespace corvalis::app
