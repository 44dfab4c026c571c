#pragma once

#include <string>
#include <string_view>

namespace corvalis::ports {

// The controls of frmCV, in the order of the window's control table.
enum class ControlId {
    Image1,
    Label6,
    IdentInst,
    Label2,
    sinalVermelho,
    sinalVerde,
    Conectar,
    Sistema,
    Lumo,
    cbutton3,
    Label1,
    Aviso,
};

enum class Light { Vermelho, Verde };

// What the window offers to the logic. Front ends implement it over their toolkit; every text is
// UTF-8 and every position is in twips.
class View {
public:
    virtual ~View() = default;

    virtual void setCaption(std::string_view text) = 0;
    virtual void setStatus(std::string_view text) = 0;  // Aviso

    virtual void setLightVisible(Light light, bool visible) = 0;
    [[nodiscard]] virtual bool isLightVisible(Light light) const = 0;
    [[nodiscard]] virtual int lightLeft(Light light) const = 0;
    virtual void setLightLeft(Light light, int twips) = 0;

    [[nodiscard]] virtual std::string identification() const = 0;  // IdentInst
    virtual void setIdentification(std::string_view text) = 0;

    virtual void setFocus(ControlId control) = 0;

    // Modal, titled with the application title, one OK button, no icon; returns once closed.
    virtual void showMessage(std::string_view text) = 0;
};

}  // namespace corvalis::ports
