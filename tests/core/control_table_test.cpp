#include <gtest/gtest.h>

#include "app/control_table.hpp"

namespace corvalis::app {
namespace {

TEST(ControlTable, FocusGoesExitWebBoxConnectRemoteDesktop) {
    EXPECT_EQ(focusOrder(),
              (std::vector<ControlId>{ControlId::cbutton3, ControlId::Lumo, ControlId::IdentInst,
                                      ControlId::Conectar, ControlId::Sistema}));
}

TEST(ControlTable, PixelSizesAt96AndScaledDpi) {
    EXPECT_EQ(twipsToPixels(kClientWidth), 350);
    EXPECT_EQ(twipsToPixels(kClientHeight), 347);
    for (ControlId button :
         {ControlId::Conectar, ControlId::Sistema, ControlId::Lumo, ControlId::cbutton3}) {
        EXPECT_EQ(twipsToPixels(control(button).width), 123);
        EXPECT_EQ(twipsToPixels(control(button).height), 35);
    }
    EXPECT_EQ(twipsToPixels(control(ControlId::sinalVermelho).width), kLightSizePixels);
    EXPECT_EQ(twipsToPixels(kClientWidth, 144), 525);
    EXPECT_EQ(twipsToPixels(kClientWidth, 120), 438);  // 437.5 rounds up
}

TEST(ControlTable, TheGreenLightStartsHiddenOnTheRedLightsRow) {
    EXPECT_EQ(control(ControlId::sinalVerde).top, control(ControlId::sinalVermelho).top);
    EXPECT_TRUE(control(ControlId::sinalVermelho).visible);
    EXPECT_FALSE(control(ControlId::sinalVerde).visible);
}

}  // namespace
}  // namespace corvalis::app
