#pragma once

#include <QWidget>
#include <array>

#include "app/control_table.hpp"

namespace corvalis::qt {

// frmCV's controls drawn from the core's control table: each created on the window where the table
// puts it, in pixels at 96 dpi, with its text, font, colours, artwork and accessible name, and the
// tab going round in the table's focus order. The window takes the table's client size.
class Controls {
public:
    explicit Controls(QWidget& window);

    // The control the table defines under this id, as the widget kind the table gives it.
    template <typename Widget = QWidget>
    [[nodiscard]] Widget* control(app::ControlId id) const {
        return static_cast<Widget*>(controls_[app::controlIndex(id)]);
    }

    // Where the logic placed a control, in twips; the pixels follow from it.
    [[nodiscard]] int left(app::ControlId id) const { return leftTwips_[app::controlIndex(id)]; }
    void setLeft(app::ControlId id, int twips);

private:
    std::array<QWidget*, app::kControls.size()> controls_{};
    std::array<int, app::kControls.size()> leftTwips_{};
};

}  // namespace corvalis::qt
