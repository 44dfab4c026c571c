#include "app/control_table.hpp"

#include <algorithm>

namespace corvalis::app {

const ControlSpec& control(ControlId id) {
    return *std::find_if(kControls.begin(), kControls.end(),
                         [id](const ControlSpec& spec) { return spec.id == id; });
}

std::vector<ControlId> focusOrder() {
    std::vector<const ControlSpec*> focusable;
    for (const ControlSpec& spec : kControls) {
        if (spec.kind == ControlKind::TextBox || spec.kind == ControlKind::Button) {
            focusable.push_back(&spec);
        }
    }
    std::sort(focusable.begin(), focusable.end(),
              [](const ControlSpec* a, const ControlSpec* b) { return a->tabIndex < b->tabIndex; });
    std::vector<ControlId> order;
    order.reserve(focusable.size());
    for (const ControlSpec* spec : focusable) {
        order.push_back(spec->id);
    }
    return order;
}

}  // namespace corvalis::app
