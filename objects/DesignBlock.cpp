#include "objects/DesignBlock.h"

#include "engine/DataFiles.h"
#include "engine/DxRenderer.h"
#include "engine/DxTexture.h"
#include "engine/UndefinedValue.h"
#include "model/ItemList.h"
#include "model/ItemTypes.h"
#include "model/PolygonItem.h"
#include "model/StreamTags.h"
#include "model/StreetStructure.h"

#include <cmath>
#include <exception>

namespace {

constexpr float DefaultBlockWidth = 1.5f;
constexpr float DefaultBlockHeight = 3.0f;

} // namespace

TDsnBlockDef &DefaultDesignBlock() {
    static const std::unique_ptr<TDsnBlockDef> block = [] {
        // The registry of texture surfaces is made first, so that it outlives the block's texture at exit.
        (void)TTextureSurface::All();
        auto def = std::make_unique<TDsnBlockDef>();
        def->Width = DefaultBlockWidth;
        def->Height = DefaultBlockHeight;
        if (const auto file = FindDataFile(Cp("Текстуры\\DefaultBlock.bmp"))) {
            try {
                TBitmap picture;
                picture.LoadFromFile(file->string());
                def->Bitmap.Assign(picture);
            } catch (const std::exception &) {
                // An unreadable picture leaves the default block without pixels: it draws nothing.
                def->Bitmap.Assign(TBitmap());
            }
        } else {
            def->Bitmap.Assign(TBitmap());
        }
        return def;
    }();
    return *block;
}

bool BlockCorners(const TDsnBlockDef &def, TBlockCorner (&corners)[6]) {
    const TBitmap &picture = def.Bitmap.Bitmap();
    if (picture.Empty())
        return false;
    const double w = def.Width, h = def.Height;
    const float ax = static_cast<float>(double(def.AnchorX) / picture.Width() * w);
    const float ay = static_cast<float>((1 - double(def.AnchorY) / picture.Height()) * h);
    const float right = static_cast<float>(w - ax), top = static_cast<float>(h - ay);
    const TBlockCorner a{-ax, -ay, 0, 1}, b{right, -ay, 1, 1}, c{right, top, 1, 0}, d{-ax, top, 0, 0};
    corners[0] = a;
    corners[1] = b;
    corners[2] = c;
    corners[3] = d;
    corners[4] = a;
    corners[5] = c;
    return true;
}

// ---- TDesignBlockItem

void TDesignBlockItem::Created() {
    BindContainer(AxisRef);
}

void TDesignBlockItem::LoadFromStream(TStream &stream) {
    const char *what = "TDesignBlockItem.LoadFromStream";
    TAbstractItem::LoadFromStream(stream);
    Invalid = Points.Count() < 1;
    Cp1251String name;
    D3DCOLOR color = 0;
    if (CheckStreamTag(stream, "DSNBNAME"))
        name = ReadStreamString(stream, what);
    if (CheckStreamTag(stream, "DSNBCOLR"))
        color = static_cast<D3DCOLOR>(stream.ReadInt32(what));
    if (CheckStreamTag(stream, "DSNBAXIS"))
        AxisRef.LoadFromStream(stream);
    BlockName_ = name;
    Color_ = color;
}

void TDesignBlockItem::SaveToStream(TStream &stream) const {
    TAbstractItem::SaveToStream(stream);
    WriteStreamTag(stream, "DSNBNAME");
    WriteStreamString(stream, BlockName_);
    if (Color_ != 0) {
        WriteStreamTag(stream, "DSNBCOLR");
        stream.WriteInt32(static_cast<int32_t>(Color_));
    }
    WriteStreamTag(stream, "DSNBAXIS");
    AxisRef.SaveToStream(stream);
}

void TDesignBlockItem::SetBlockName(const Cp1251String &name) {
    if (name == BlockName_)
        return;
    BlockName_ = name;
    NotifyModified();
}

void TDesignBlockItem::SetColor(D3DCOLOR color) {
    if (color == Color_)
        return;
    Color_ = color;
    NotifyModified();
}

void TDesignBlockItem::SetAxis(TAbstractItem *axis) {
    AxisRef.Put(0, axis);
    Points.SetChanged(true);
}

void TDesignBlockItem::GetUsedNames(TUsedNames &names) const {
    if (!BlockName_.Empty())
        names.BlockDefs.insert(BlockName_);
}

TDsnBlockDefList *TDesignBlockItem::GetBlockDefs() const {
    return Street() ? &Street()->BlockDefs() : nullptr;
}

TDsnBlockDef &TDesignBlockItem::GetBlockDef() const {
    if (TDsnBlockDefList *defs = GetBlockDefs()) {
        const int i = defs->IndexOfName(BlockName_);
        if (i >= 0)
            return *defs->Items(i);
    }
    return DefaultDesignBlock();
}

bool TDesignBlockItem::HitTest(const TXYZ &point, double &distance, double maxDistance) {
    distance = UndefinedValue;
    for (int i = 0; i < Points.Count(); ++i)
        distance = std::min(distance, double(VectorDistance(point, Points.GetPoint(i))));
    return distance < maxDistance;
}

TAbstractItem *TDesignBlockItem::FindContainingPolygon() const {
    if (!Street() || Points.Count() < 1)
        return nullptr;
    const TXYZ p = Points.GetPoint(0);
    for (int code = 0; code < ItemTypeCount; ++code) {
        for (const auto &item : Street()->Lists(code)) {
            auto *polygon = dynamic_cast<TPolygonItem *>(item.get());
            double d = 0;
            if (polygon && polygon->HitTest(p, d, 0))
                return polygon;
        }
    }
    return nullptr;
}

float TDesignBlockItem::BlockDirection() const {
    TAbstractItem *axis = Axis();
    if (!axis || Points.Count() < 1)
        return 0;
    const float t = axis->Points.ParamOfPoint(Points.GetPoint(0));
    return axis->Points.DirectionAtParam(t);
}

void TDesignBlockItem::Draw(const TDxDrawParams &params, uint32_t) {
    TdxRenderer *r = params.Renderer;
    const int n = Points.Count();
    if (!r || n < 1)
        return;
    // The view test first: it is the cheap one, and it turns away nearly every block of a long street.
    bool seen = false;
    for (int i = 0; i < n && !seen; ++i)
        seen = VectorDistance(Points.GetPoint(i), params.ViewCenter) <= params.ViewRadius;
    if (!seen)
        return;
    TDsnBlockDef &def = GetBlockDef();
    if (!(double(def.Width) + def.Height >= r->PixelSize()))
        return;
    TBlockCorner corners[6];
    if (!BlockCorners(def, corners))
        return;
    TTextureSurface *texture = def.GetTexture();
    const float dir = BlockDirection();
    std::span<TDxVertex> v = r->AllocVertices(6);
    for (int k = 0; k < 6; ++k)
        v[k] = {corners[k].X, corners[k].Y, 0, Color_, corners[k].U, corners[k].V};
    r->SetTexture(texture);
    TMatrixShell &world = r->World();
    for (int i = 0; i < n; ++i) {
        const TXYZ p = Points.GetPoint(i);
        world.PushMatrix();
        world.Translate(false, p.x, p.y, p.z);
        world.RotateZ(false, -dir);
        r->DrawTriangleListV(v);
        world.PopMatrix();
    }
    r->SetTexture(nullptr);
}

void RegisterDesignBlockItem() {
    ItemClasses.Register(std::make_unique<TItemClassOf<TDesignBlockItem>>(DesignBlockTypeCode));
}
