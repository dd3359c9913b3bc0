#include "engine/FontsDataForm.h"

#include <algorithm>

#include "engine/DrawProblems.h"
#include "engine/DxRenderer.h"

#include <exception>

namespace {

TFontsDataForm *TheForm = nullptr;

} // namespace

TFontAtlasPlan PlanFontAtlases(uint32_t maxWidth, uint32_t maxHeight) {
    TFontAtlasPlan plan;
    // The small atlas grows only on a device whose textures go beyond 1024 pixels down.
    if (maxWidth >= 1024 && maxHeight >= 1025) {
        plan.SmallFontPoints = 36;
        plan.SmallAtlasSize = 1024;
        plan.SmallFilter = 2;
    }
    if (maxWidth >= 1024 && maxHeight >= 1024) {
        plan.RedFontPoints = 36;
        plan.RedAtlasSize = 1024;
        plan.RedFilter = 2;
    }
    return plan;
}

TFontsDataForm::TFontsDataForm()
    : small_(std::make_unique<TFontTexture>()), red_(std::make_unique<TFontTexture>()) {
    TheForm = this;
}

TFontsDataForm::~TFontsDataForm() {
    if (TheForm == this)
        TheForm = nullptr;
}

TFontsDataForm *TFontsDataForm::Instance() {
    return TheForm;
}

void TFontsDataForm::BuildAtlases(uint32_t maxWidth, uint32_t maxHeight) {
    atlasesTried_ = true;
    const TFontAtlasPlan plan = PlanFontAtlases(maxWidth, maxHeight);
    try {
        TFontTexture *small = small_.get();
        small->BuildFromCanvas({"Arial", FontHeightOfPoints(plan.SmallFontPoints), 0x000000},
                               plan.SmallAtlasSize);
        // Anisotropic sampling of a keyed atlas without mipmaps eats the thin strokes of minified text on
        // drivers that take several taps (the labels vanished): linear at most.
        small->MinFilter = small->MagFilter = std::min<uint8_t>(plan.SmallFilter, 1);
        // Texture colour plus vertex colour: black characters take the colour of their vertices.
        small->ColorOp = 0;
        small->ColorArg1 = 0;
        small->ColorArg2 = 1;
        TFontTexture *red = red_.get();
        red->BuildFromCanvas({"Arial", FontHeightOfPoints(plan.RedFontPoints), 0xFF0000}, plan.RedAtlasSize);
        red->MinFilter = red->MagFilter = std::min<uint8_t>(plan.RedFilter, 1);
    } catch (const std::exception &e) {
        ReportDrawProblemOnce("font atlas", std::string("the text atlases cannot be drawn: ") + e.what());
    }
}

TFontTexture *TFontsDataForm::SmallArialTexture(bool build) {
    if (build && !atlasesTried_) {
        const D3DCAPS9 &caps = DxDeviceCaps();
        BuildAtlases(caps.MaxTextureWidth, caps.MaxTextureHeight);
    }
    return small_.get();
}

TFontTexture *TFontsDataForm::RedArialTexture(bool build) {
    SmallArialTexture(build);
    return red_.get();
}

TDxFont *TFontsDataForm::Load(const std::string &name, uint8_t style) {
    auto font = std::make_unique<TDxFont>();
    font->LoadFromFont({name, style, CustomLabelHeight});
    ++loads_;
    fonts_.push_back(std::move(font));
    return fonts_.back().get();
}

TDxFont *TFontsDataForm::GetDxFont(const std::string &name, uint8_t style) {
    if (lastFont_ && name == lastName_ && style == lastStyle_)
        return lastFont_;
    TDxFont *found = nullptr;
    for (const auto &f : fonts_)
        if (f->Name() == name && f->Style() == style)
            found = f.get();
    if (!found)
        for (const TFailed &f : failed_)
            if (f.Name == name && f.Style == style)
                found = f.Fallback;
    if (!found) {
        try {
            found = Load(name, style);
        } catch (const std::exception &e) {
            ReportDrawProblemOnce("font " + name, "the font \"" + name + "\" cannot be loaded: " + e.what());
            if (name != "Arial" || style != 0)
                found = GetDxFont("Arial", 0);
            failed_.push_back({name, style, found});
            if (!found)
                return nullptr;
        }
    }
    lastName_ = name;
    lastStyle_ = style;
    lastFont_ = found;
    return found;
}
