#include <gtest/gtest.h>

#include "app/control_table.hpp"

namespace corvalis::app {
namespace {

TEST(ControlTable, FocusGoesExitWebBoxConnectRemoteDesktop) {
    EXPECT_EQ(focusOrder(),
              (std::vector<ControlId>{ControlId::cbutton3, ControlId::Lumo, ControlId::IdentInst,
                                      ControlId::Conectar, ControlId::Sistema}));
}

// Twips become pixels rounded half up, at 96 dpi and scaled ones.
TEST(ControlTable, PixelSizesAt96AndScaledDpi) {
    EXPECT_EQ(twipsToPixels(kClientWidth), 350);
    EXPECT_EQ(twipsToPixels(kClientHeight), 347);
    EXPECT_EQ(twipsToPixels(kClientWidth, 144), 525);
    EXPECT_EQ(twipsToPixels(kClientWidth, 120), 438);  // 437.5 rounds up
}

}  // namespace
}  // namespace corvalis::app
