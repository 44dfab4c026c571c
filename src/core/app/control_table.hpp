#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "ports/view.hpp"

// The window frmCV as data: every front end draws its controls from this one table, so the Qt and
// Win32 windows cannot drift apart. Geometry is in twips (1440 to the inch, 15 to a pixel at 96
// dpi).
namespace corvalis::app {

using ports::ControlId;

enum class ControlKind { Picture, Label, TextBox, Button };
enum class Alignment { Left, Center };
enum class Artwork { None, Logo, LightRed, LightGreen };

struct Rgb {
    std::uint8_t red;
    std::uint8_t green;
    std::uint8_t blue;
    friend constexpr bool operator==(Rgb, Rgb) = default;
};

inline constexpr Rgb kDarkGrey{0x66, 0x66, 0x66};
inline constexpr Rgb kStatusGreen{0x00, 0x80, 0x00};
inline constexpr Rgb kWhite{0xFF, 0xFF, 0xFF};
inline constexpr Rgb kBlack{0x00, 0x00, 0x00};

inline constexpr int kNoTabStop = -1;

struct ControlDefinition {
    ControlId id;
    std::string_view name;
    ControlKind kind;
    std::string_view text;  // UTF-8
    int left;
    int top;
    int width;
    int height;
    int tabIndex;  // kNoTabStop for controls that take no focus
    bool visible;
    std::optional<Rgb> foreground;  // empty: the toolkit's own colour
    std::optional<Rgb> background;  // empty: the toolkit's own colour
    Alignment alignment;
    Artwork artwork;
    // UTF-8, for screen readers. Empty for a label whose text changes: its text is then its name,
    // and each new text is announced.
    std::string_view accessibleName;
};

struct FontDefinition {
    std::string_view family;
    double pointSize;
    bool bold;
};

inline constexpr std::string_view kApplicationTitle = "Pelmark";  // message boxes
inline constexpr std::string_view kInitialCaption = "Corvalis";
inline constexpr std::string_view kVersionText = "01.07";
inline constexpr std::string_view kInitialStatus = "Conexão Desativada";
inline constexpr int kClientWidth = 5250;
inline constexpr int kClientHeight = 5205;
inline constexpr int kTwipsPerInch = 1440;
inline constexpr FontDefinition kFont{"Tahoma", 8.25, true};

// Accessible names of the lights; the one that is lit tells a screen reader the state.
inline constexpr std::string_view kRedLightName = "Sinal vermelho: conexão desativada";
inline constexpr std::string_view kGreenLightName = "Sinal verde: conexão ativada";

// clang-format off
inline constexpr std::array<ControlDefinition, 12> kControls{{
    {ControlId::Image1, "Image1", ControlKind::Picture, "",
     720, 120, 3765, 1335, kNoTabStop, true, {}, {}, Alignment::Left, Artwork::Logo,
     "Logotipo"},
    {ControlId::Label6, "Label6", ControlKind::Label, "Identificação da empresa---->",
     360, 2040, 2685, 375, 1, true, kDarkGrey, {}, Alignment::Center, Artwork::None,
     "Identificação da empresa"},
    {ControlId::IdentInst, "IdentInst", ControlKind::TextBox, "",
     3000, 2040, 1845, 315, 5, true, kDarkGrey, {}, Alignment::Left, Artwork::None,
     "Identificação da empresa"},
    {ControlId::Label2, "Label2", ControlKind::Label, "Status:",
     960, 2670, 615, 180, 3, true, kDarkGrey, {}, Alignment::Left, Artwork::None,
     "Status"},
    {ControlId::sinalVermelho, "sinalVermelho", ControlKind::Picture, "",
     1800, 2715, 120, 120, kNoTabStop, true, {}, {}, Alignment::Left, Artwork::LightRed,
     kRedLightName},
    {ControlId::sinalVerde, "sinalVerde", ControlKind::Picture, "",
     600, 2715, 120, 120, kNoTabStop, false, {}, {}, Alignment::Left, Artwork::LightGreen,
     kGreenLightName},
    {ControlId::Conectar, "Conectar", ControlKind::Button, "Conectar",
     360, 2895, 1845, 525, 6, true, kBlack, {}, Alignment::Center, Artwork::None,
     "Conectar"},
    {ControlId::Sistema, "Sistema", ControlKind::Button, "Tolvar Sistemas ",
     3000, 2880, 1845, 525, 7, true, kBlack, {}, Alignment::Center, Artwork::None,
     "Tolvar Sistemas"},
    {ControlId::Lumo, "Lumo", ControlKind::Button, "Controle de Acesso",
     360, 3840, 1845, 525, 4, true, kBlack, {}, Alignment::Center, Artwork::None,
     "Controle de Acesso"},
    {ControlId::cbutton3, "cbutton3", ControlKind::Button, "Sair",
     3000, 3840, 1845, 525, 0, true, kBlack, {}, Alignment::Center, Artwork::None,
     "Sair"},
    {ControlId::Label1, "Label1", ControlKind::Label, "",
     0, 4740, 5295, 180, 8, true, kStatusGreen, kWhite, Alignment::Center, Artwork::None,
     "Faixa do status"},
    {ControlId::Aviso, "Aviso", ControlKind::Label, kInitialStatus,
     0, 4900, 5295, 300, 2, true, kStatusGreen, kWhite, Alignment::Center, Artwork::None,
     ""},
}};
// clang-format on

// The table lists the controls in the order of ControlId, so an id is also its index.
[[nodiscard]] constexpr std::size_t controlIndex(ControlId id) {
    return static_cast<std::size_t>(id);
}

[[nodiscard]] constexpr bool isTableInIdOrder() {
    for (std::size_t index = 0; index < kControls.size(); ++index) {
        if (controlIndex(kControls[index].id) != index) {
            return false;
        }
    }
    return true;
}
static_assert(isTableInIdOrder(), "kControls must list the controls in ControlId order");

[[nodiscard]] constexpr const ControlDefinition& control(ControlId id) {
    return kControls[controlIndex(id)];
}

// The picture that shows the light.
[[nodiscard]] constexpr ControlId lightControl(ports::Light light) {
    return light == ports::Light::Verde ? ControlId::sinalVerde : ControlId::sinalVermelho;
}

// Controls that take the keyboard focus, in tab order; the window opens with the focus on the
// first.
[[nodiscard]] std::vector<ControlId> focusOrder();

// Twips to device pixels at the given dots per inch, rounded to the nearest pixel.
[[nodiscard]] constexpr int twipsToPixels(int twips, int dpi = 96) {
    const long long scaled = static_cast<long long>(twips) * dpi;
    return static_cast<int>((scaled + kTwipsPerInch / 2) / kTwipsPerInch);
}

}  // namespace corvalis::app
