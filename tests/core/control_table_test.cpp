#include <gtest/gtest.h>

#include <set>

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

TEST(ControlTable, LightsShareTheirTopAndEveryControlIsNamed) {
    const ControlDefinition& red = control(ControlId::sinalVermelho);
    const ControlDefinition& green = control(ControlId::sinalVerde);
    EXPECT_EQ(red.top, green.top);
    EXPECT_TRUE(red.visible);
    EXPECT_FALSE(green.visible);
    std::set<std::string_view> names;
    for (const ControlDefinition& definition : kControls) {
        EXPECT_TRUE(names.insert(definition.name).second) << definition.name;
        // Screen readers name every control; the status label is named by its changing text.
        EXPECT_EQ(definition.accessibleName.empty(), definition.id == ControlId::Aviso)
            << definition.name;
    }
}

}  // namespace
}  // namespace corvalis::app
