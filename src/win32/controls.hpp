#pragma once

#include <windows.h>

#include <array>
#include <optional>

#include "app/control_table.hpp"
#include "artwork.hpp"
#include "handles.hpp"

namespace corvalis::win32 {

inline constexpr int kFirstControlId = 100;  // clear of IDOK and IDCANCEL

// frmCV's controls drawn from the core's control table: created on the window, Tab going round in
// the table's focus order, laid out at a DPI in the table's font with the window's client area
// fitted to the table, and painted in the table's colours and artwork when the window is asked.
class Controls {
public:
    explicit Controls(HINSTANCE instance);

    // Creates the controls on the window and lays them out at the DPI; until then there are none.
    void create(HWND window, int dpi);

    [[nodiscard]] HWND control(app::ControlId id) const { return controls_[app::controlIndex(id)]; }
    // The table's control that this window is, if it is one.
    [[nodiscard]] std::optional<app::ControlId> find(HWND control) const;
    void layOut(int dpi);

    // Where the logic placed a control, in twips; the pixels follow from it at each DPI.
    [[nodiscard]] int left(app::ControlId id) const { return leftTwips_[app::controlIndex(id)]; }
    void setLeft(app::ControlId id, int twips);

    // The answer to WM_CTLCOLORSTATIC and WM_CTLCOLOREDIT: the table's colours, the system's
    // background colour where the table gives none. The painting of WM_DRAWITEM.
    [[nodiscard]] LRESULT colour(HDC dc, HWND control, int systemBackground) const;
    void draw(const DRAWITEMSTRUCT& item) const;

private:
    void arrangeFocusOrder();
    void place(std::size_t index);
    void fitClientArea();
    [[nodiscard]] int pixels(int twips) const;

    HINSTANCE instance_;
    Artwork artwork_;
    HWND window_ = nullptr;
    int dpi_ = 0;
    UniqueFont font_;
    std::array<HWND, app::kControls.size()> controls_{};
    std::array<UniqueBrush, app::kControls.size()> backgrounds_;
    std::array<int, app::kControls.size()> leftTwips_{};
};

}  // namespace corvalis::win32
