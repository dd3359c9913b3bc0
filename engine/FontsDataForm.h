#pragma once
// The fonts of the plan: two atlas textures for small annotations (black characters that take the vertex
// colour added, and red ones) and the vector fonts made so far, by name and style. The shell makes the one
// object after the main window and keeps it to the end; without it (headless use) labels are not drawn.
// The atlases are drawn on first use, sized by the largest texture of the device made last.
#include "engine/DxFont.h"
#include "engine/FontTexture.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The sizes of the two atlases for a device whose largest texture is maxWidth x maxHeight.
struct TFontAtlasPlan {
    int32_t SmallFontPoints = 9;
    int32_t SmallAtlasSize = 256;
    uint8_t SmallFilter = 0; // 0 point, 2 anisotropic
    int32_t RedFontPoints = 9;
    int32_t RedAtlasSize = 256;
    uint8_t RedFilter = 0;
};
TFontAtlasPlan PlanFontAtlases(uint32_t maxWidth, uint32_t maxHeight);

class TFontsDataForm {
public:
    // The vector fonts' source size: Arial, a cell 133 pixels high (100 points at 96 dots per inch).
    static constexpr int32_t CustomLabelHeight = 133;

    TFontsDataForm();
    ~TFontsDataForm();
    TFontsDataForm(const TFontsDataForm &) = delete;
    TFontsDataForm &operator=(const TFontsDataForm &) = delete;

    // The object alive now; nullptr before it is made and after it is gone.
    static TFontsDataForm *Instance();

    // The atlases, drawn on first use unless build is False (the largest texture of the device made last
    // is read then). They live as long as the object, so batches may keep them before they are drawn; one
    // that could not be drawn (reported once) has no picture.
    TFontTexture *SmallArialTexture(bool build = true);
    TFontTexture *RedArialTexture(bool build = true);
    // Draws both atlases now for a device with these largest texture sizes.
    void BuildAtlases(uint32_t maxWidth, uint32_t maxHeight);
    bool AtlasesBuilt() const { return atlasesTried_; }

    // The vector font of that name and style: the last request's again, else the last of the list with
    // that name and style, else a new one loaded and added to the list. A font that cannot be loaded is
    // reported once and replaced by Arial from then on; nullptr when not even that can be loaded.
    TDxFont *GetDxFont(const std::string &name, uint8_t style);
    const std::vector<std::unique_ptr<TDxFont>> &DxFonts() const { return fonts_; }
    // Fonts actually loaded from the platform (a request answered by the shortcut or the list loads none).
    int32_t LoadCount() const { return loads_; }

private:
    struct TFailed {
        std::string Name;
        uint8_t Style;
        TDxFont *Fallback;
    };
    TDxFont *Load(const std::string &name, uint8_t style);

    std::unique_ptr<TFontTexture> small_, red_;
    bool atlasesTried_ = false;
    std::vector<std::unique_ptr<TDxFont>> fonts_;
    std::vector<TFailed> failed_;
    std::string lastName_;
    uint8_t lastStyle_ = 0;
    TDxFont *lastFont_ = nullptr;
    int32_t loads_ = 0;
};
