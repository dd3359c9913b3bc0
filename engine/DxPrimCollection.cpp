#include "engine/DxPrimCollection.h"

#include "engine/DxRenderer.h"
#include "engine/DxTexture.h"
#include "engine/StreetError.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>

namespace {

std::atomic<uint64_t> NextSerial{1};

// The first of count consecutive serials.
uint64_t NewDxSerials(uint64_t count) {
    return NextSerial.fetch_add(count, std::memory_order_relaxed);
}

} // namespace

uint64_t NewDxSerial() {
    return NewDxSerials(1);
}

TDxPrimCollection::TDxPrimCollection(std::size_t vertsPerPrim, D3DPRIMITIVETYPE primType)
    : vertsPerPrim_(vertsPerPrim), primType_(primType) {
    if (vertsPerPrim < 1 || vertsPerPrim > 3)
        RaiseStreetError("TDxPrimCollection.Create",
                         "primitives of " + std::to_string(vertsPerPrim) + " vertices");
}

TDxPrimCollection::~TDxPrimCollection() = default;

void TDxPrimCollection::Clear() {
    ids_.clear();
    owners_.clear();
    centerX_.clear();
    centerY_.clear();
    radius_.clear();
    layers_.clear();
    deleted_.clear();
    vertices_.clear();
    boxes_.clear();
    blockLayers_.clear();
    blockDeleted_.clear();
    visible_.clear();
    recentStart_ = 0;
    deletedCount_ = 0;
    hint_ = 0;
    transform_.LoadIdentity();
}

bool TDxPrimCollection::PassesCull(std::size_t i) const {
    if (deleted_[i])
        return false;
    // distance(view centre, group centre) - radius - margin < view radius, without the square root.
    const double dx = double(centerX_[i]) - viewCenter_.x, dy = double(centerY_[i]) - viewCenter_.y,
                 dz = viewCenter_.z;
    const double reach = double(viewRadius_) + radius_[i] + CullMargin;
    return reach > 0 && dx * dx + dy * dy + dz * dz < reach * reach;
}

TDxGroupId TDxPrimCollection::AddPrimitive(TDxOwnerKey owner, std::span<const TDxVertex> vertices) {
    const std::size_t n = vertsPerPrim_;
    if (vertices.size() < n)
        RaiseStreetError("TDxPrimCollection.AddPrimitive", std::to_string(vertices.size()) +
                                                               " vertices for a primitive of " +
                                                               std::to_string(n));
    // Through a copy: the vertices may be a group of this batch, which growing the array would move.
    TDxVertex copy[3];
    std::copy_n(vertices.begin(), n, copy);
    AddPrimitives(owner, std::span<const TDxVertex>(copy, n), 1);
    return ids_.back();
}

void TDxPrimCollection::ExtendBoxes(std::size_t first, std::size_t count) {
    const std::size_t end = first + count;
    for (std::size_t g = first; g < end;) {
        const std::size_t b = g / BoxGroups;
        if (g % BoxGroups == 0) {
            boxes_.resize(b + 1);
            blockLayers_.resize(b + 1);
            blockDeleted_.resize(b + 1);
            blockLayers_[b] = ~uint32_t(0);
            blockDeleted_[b] = 0;
            TBox &box = boxes_[b];
            for (int k = 0; k < 3; ++k) {
                box.Min[k] = std::numeric_limits<float>::infinity();
                box.Max[k] = -std::numeric_limits<float>::infinity();
            }
        }
        const std::size_t stop = std::min(end, (b + 1) * BoxGroups);
        for (std::size_t k = g; k < stop; ++k) {
            blockLayers_[b] &= layers_[k] == 0 ? ~uint32_t(0) : layers_[k];
            blockDeleted_[b] += deleted_[k];
        }
        TBox &box = boxes_[b];
        // One pass over the block's new vertices, in locals (stores into the box could alias them).
        float lo[3] = {box.Min[0], box.Min[1], box.Min[2]}, hi[3] = {box.Max[0], box.Max[1], box.Max[2]};
        bool wild[3] = {false, false, false};
        const TDxVertex *v = vertices_.data() + g * vertsPerPrim_,
                        *vEnd = vertices_.data() + stop * vertsPerPrim_;
        for (; v != vEnd; ++v) {
            const float p[3] = {v->x, v->y, v->z};
            for (int a = 0; a < 3; ++a) {
                wild[a] = wild[a] || !std::isfinite(p[a]);
                lo[a] = std::min(lo[a], p[a]);
                hi[a] = std::max(hi[a], p[a]);
            }
        }
        for (int a = 0; a < 3; ++a) {
            // A position that is not finite makes the box hold anything.
            box.Min[a] = wild[a] ? -std::numeric_limits<float>::infinity() : lo[a];
            box.Max[a] = wild[a] ? std::numeric_limits<float>::infinity() : hi[a];
        }
        g = stop;
    }
}

void TDxPrimCollection::AddPrimitives(TDxOwnerKey owner, std::span<const TDxVertex> vertices,
                                      std::size_t count) {
    const std::size_t n = vertsPerPrim_;
    if (count > vertices.size() / n)
        RaiseStreetError("TDxPrimCollection.AddPrimitives", std::to_string(vertices.size()) +
                                                                " vertices for " + std::to_string(count) +
                                                                " primitives");
    if (count == 0)
        return;
    const std::less<const TDxVertex *> before;
    if (!vertices_.empty() && before(vertices.data(), vertices_.data() + vertices_.size()) &&
        before(vertices_.data(), vertices.data() + vertices.size())) {
        // Groups of this batch: one at a time, each through a copy.
        for (std::size_t i = 0; i < count; ++i)
            AddPrimitive(owner, vertices.subspan(i * n, n));
        return;
    }
    // Every vertex at once, then each group's record.
    const std::size_t first = vertices_.size();
    vertices_.insert(vertices_.end(), vertices.begin(),
                     vertices.begin() + static_cast<std::ptrdiff_t>(count * n));
    AddGroups(owner, first, count);
}

void TDxPrimCollection::RaiseVertexCount(std::size_t vertices, std::size_t count) const {
    RaiseStreetError("TDxPrimCollection.AddPrimitives",
                     std::to_string(vertices) + " vertices for " + std::to_string(count) + " primitives");
}

void TDxPrimCollection::AddGroups(TDxOwnerKey owner, std::size_t first, std::size_t count) {
    const std::size_t n = vertsPerPrim_;
    const bool moved = !transform_.IsIdentity();
    for (std::size_t g = 0; g < count; ++g) {
        TDxVertex *v = vertices_.data() + first + g * n;
        double sx = 0, sy = 0;
        for (std::size_t k = 0; k < n; ++k) {
            if (moved) {
                TXYZ p{v[k].x, v[k].y, v[k].z};
                transform_.TransformPoint(p);
                v[k].x = p.x;
                v[k].y = p.y;
                v[k].z = p.z;
            }
            v[k].color = color_;
            sx += v[k].x;
            sy += v[k].y;
        }
        const double cx = sx / double(n), cy = sy / double(n);
        double radius = 0;
        for (std::size_t k = 0; k < n; ++k)
            radius = std::max(radius, std::fabs(v[k].x - cx) + std::fabs(v[k].y - cy));

        if (nextId_ == idLimit_) {
            constexpr uint64_t Block = 4096;
            nextId_ = NewDxSerials(Block);
            idLimit_ = nextId_ + Block;
        }
        ids_.push_back(nextId_++);
        owners_.push_back(owner);
        centerX_.push_back(float(cx));
        centerY_.push_back(float(cy));
        radius_.push_back(float(radius));
        layers_.push_back(layerMask_);
        deleted_.push_back(0);
        const std::size_t index = ids_.size() - 1;
        if (PassesCull(index))
            visible_.push_back(static_cast<uint32_t>(index));
    }
    ExtendBoxes(ids_.size() - count, count);
}

std::ptrdiff_t TDxPrimCollection::IndexOf(TDxGroupId id) const {
    const std::size_t n = ids_.size();
    // The ids of one owner's build follow one another: look right after the last one found first.
    if (hint_ < n && ids_[hint_] == id)
        return static_cast<std::ptrdiff_t>(hint_++);
    const auto it = std::lower_bound(ids_.begin(), ids_.end(), id);
    if (it == ids_.end() || *it != id)
        return -1;
    const std::size_t i = static_cast<std::size_t>(it - ids_.begin());
    hint_ = i + 1;
    return static_cast<std::ptrdiff_t>(i);
}

void TDxPrimCollection::MarkDeleted(std::span<const TDxGroupId> groups) {
    for (TDxGroupId id : groups) {
        const std::ptrdiff_t i = IndexOf(id);
        if (i >= 0 && !deleted_[static_cast<std::size_t>(i)]) {
            deleted_[static_cast<std::size_t>(i)] = 1;
            ++deletedCount_;
            ++blockDeleted_[static_cast<std::size_t>(i) / BoxGroups];
        }
    }
}

template <class Pred> void TDxPrimCollection::RemoveIf(Pred remove) {
    const std::size_t n = ids_.size(), vpp = vertsPerPrim_;
    constexpr uint32_t Gone = UINT32_MAX;
    remap_.resize(n);
    std::size_t out = 0, recentKept = 0, deletedKept = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (remove(i)) {
            remap_[i] = Gone;
            continue;
        }
        remap_[i] = static_cast<uint32_t>(out);
        if (out != i) {
            ids_[out] = ids_[i];
            owners_[out] = owners_[i];
            centerX_[out] = centerX_[i];
            centerY_[out] = centerY_[i];
            radius_[out] = radius_[i];
            layers_[out] = layers_[i];
            deleted_[out] = deleted_[i];
            std::memcpy(static_cast<void *>(&vertices_[out * vpp]), &vertices_[i * vpp],
                        vpp * sizeof(TDxVertex));
        }
        recentKept += i < recentStart_;
        deletedKept += deleted_[out];
        ++out;
    }
    ids_.resize(out);
    owners_.resize(out);
    centerX_.resize(out);
    centerY_.resize(out);
    radius_.resize(out);
    layers_.resize(out);
    deleted_.resize(out);
    vertices_.resize(out * vpp);
    recentStart_ = recentKept;
    deletedCount_ = deletedKept;
    hint_ = 0;
    boxes_.clear();
    blockLayers_.clear();
    blockDeleted_.clear();
    ExtendBoxes(0, out);
    std::size_t v = 0;
    for (uint32_t i : visible_)
        if (remap_[i] != Gone)
            visible_[v++] = remap_[i];
    visible_.resize(v);
}

void TDxPrimCollection::DeleteOwner(TDxOwnerKey owner) {
    if (std::find(owners_.begin(), owners_.end(), owner) == owners_.end())
        return;
    RemoveIf([&](std::size_t i) { return owners_[i] == owner; });
}

void TDxPrimCollection::ClearNew() {
    recentStart_ = ids_.size();
}

void TDxPrimCollection::GetNewGroups(std::vector<TDxGroupId> &groups) const {
    groups.assign(ids_.begin() + static_cast<std::ptrdiff_t>(recentStart_), ids_.end());
}

void TDxPrimCollection::SetView(const TXYZ &center, float radius) {
    if (VectorDistance(center, viewCenter_) + std::fabs(double(radius) - viewRadius_) < CullMargin)
        return;
    viewCenter_ = center;
    viewRadius_ = radius;
    // The cull test of every group (PassesCull) in one branch-free pass, then the indices of those passing.
    const std::size_t n = ids_.size();
    cullPass_.resize(n);
    const float *cx = centerX_.data(), *cy = centerY_.data(), *cr = radius_.data();
    const uint8_t *deleted = deleted_.data();
    uint8_t *pass = cullPass_.data();
    const double vx = center.x, vy = center.y, dz2 = double(center.z) * center.z;
    const double base = double(radius) + CullMargin;
    for (std::size_t i = 0; i < n; ++i) {
        const double dx = double(cx[i]) - vx, dy = double(cy[i]) - vy, reach = base + cr[i];
        pass[i] = uint8_t((reach > 0) & (dx * dx + dy * dy + dz2 < reach * reach) & (deleted[i] == 0));
    }
    visible_.clear();
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t word;
        std::memcpy(&word, pass + i, 8);
        if (word == 0)
            continue;
        for (std::size_t k = 0; k < 8; ++k)
            if (pass[i + k])
                visible_.push_back(static_cast<uint32_t>(i + k));
    }
    for (; i < n; ++i)
        if (pass[i])
            visible_.push_back(static_cast<uint32_t>(i));
}

void TDxPrimCollection::Compact() {
    if (deletedCount_ == 0 || deletedCount_ < ids_.size() / 10)
        return;
    RemoveIf([this](std::size_t i) { return deleted_[i] != 0; });
}

void TDxPrimCollection::AddRuns(std::size_t first, std::size_t last, std::size_t at) {
    while (first < last) {
        const std::size_t b = first / BoxGroups;
        const std::size_t end = std::min(last, (b + 1) * BoxGroups);
        const TBox &box = boxes_[b];
        runs_.push_back({static_cast<UINT>(at), static_cast<UINT>(end - first), box.Min[0], box.Min[1],
                         box.Min[2], box.Max[0], box.Max[1], box.Max[2]});
        at += end - first;
        first = end;
    }
}

void TDxPrimCollection::DrawChunk(const TDxDrawParams &params, const TDxVertex *vertices,
                                  std::size_t primitives) {
    if (primitives == 0)
        return;
    if (!params.Renderer)
        RaiseStreetError("TDxPrimCollection.Draw", "no renderer");
    TdxRenderer &renderer = *params.Renderer;
    if (texture_ && !textureApplied_) {
        texture_->Apply(renderer);
        textureApplied_ = true;
    }
    renderer.DrawPrimitiveRunsV(primType_, static_cast<int32_t>(primitives), vertices, sizeof(TDxVertex),
                                runs_);
    runs_.clear();
}

void TDxPrimCollection::Draw(const TDxDrawParams &params) {
    Compact();
    if (ids_.empty())
        return;
    SetView(params.ViewCenter, params.ViewRadius);
    if (visible_.empty())
        return;
    const std::size_t vpp = vertsPerPrim_;
    const std::size_t chunkGroups = ChunkVertices / vpp;
    if (drawBuffer_.size() < ChunkVertices)
        drawBuffer_.resize(ChunkVertices);
    const uint8_t *deleted = deleted_.data();
    const uint32_t *layers = layers_.data();
    const uint32_t mask = layerMask_;
    textureApplied_ = false;
    runs_.clear();
    std::size_t packed = 0; // groups gathered in the draw buffer
    const auto flush = [&] {
        DrawChunk(params, drawBuffer_.data(), packed);
        packed = 0;
    };
    // Groups [first, last) follow one another and are all drawn.
    const auto stretch = [&](std::size_t first, std::size_t last) {
        if (last - first >= chunkGroups) {
            flush();
            for (std::size_t at = first; at < last; at += chunkGroups) {
                const std::size_t end = std::min(last, at + chunkGroups);
                AddRuns(at, end, 0);
                DrawChunk(params, vertices_.data() + at * vpp, end - at);
            }
            return;
        }
        while (first < last) {
            const std::size_t take = std::min(last - first, chunkGroups - packed);
            std::memcpy(static_cast<void *>(drawBuffer_.data() + packed * vpp),
                        vertices_.data() + first * vpp, take * vpp * sizeof(TDxVertex));
            AddRuns(first, first + take, packed);
            packed += take;
            first += take;
            if (packed == chunkGroups)
                flush();
        }
    };
    std::size_t runStart = 0, runLength = 0;
    const uint32_t *visible = visible_.data();
    const std::size_t visibleCount = visible_.size();
    for (std::size_t k = 0; k < visibleCount; ++k) {
        const uint32_t i = visible[k];
        // A whole block in view (its groups follow one another in the list) that needs no look at each
        // group joins the run at once: a street seen whole is mostly such blocks.
        if (i % BoxGroups == 0 && k + BoxGroups <= visibleCount &&
            visible[k + BoxGroups - 1] == i + BoxGroups - 1) {
            const std::size_t b = i / BoxGroups;
            if (blockDeleted_[b] == 0 && (blockLayers_[b] & mask) != 0) {
                if (runLength && i == runStart + runLength) {
                    runLength += BoxGroups;
                } else {
                    if (runLength)
                        stretch(runStart, runStart + runLength);
                    runStart = i;
                    runLength = BoxGroups;
                }
                k += BoxGroups - 1;
                continue;
            }
        }
        if (deleted[i] || (layers[i] != 0 && (layers[i] & mask) == 0))
            continue;
        if (runLength && i == runStart + runLength) {
            ++runLength;
            continue;
        }
        if (runLength)
            stretch(runStart, runStart + runLength);
        runStart = i;
        runLength = 1;
    }
    if (runLength)
        stretch(runStart, runStart + runLength);
    flush();
    if (textureApplied_)
        params.Renderer->SetTexture(nullptr);
}

void TDxPrimCollection::CreateOwnTexture() {
    ownTexture_ = std::make_unique<TTextureSurface>();
    texture_ = ownTexture_.get();
}

void TDxPrimCollection::SetTexture(TTextureSurface *texture) {
    if (texture && texture == ownTexture_.get())
        return;
    ownTexture_.reset();
    texture_ = texture;
}

void TDxPrimCollection::LoadTexture(const std::string &fileName) {
    TBitmap bitmap;
    bitmap.LoadFromFile(fileName);
    CreateOwnTexture();
    texture_->Assign(bitmap);
}

TDxPrimGroup TDxPrimCollection::Group(std::size_t i) const {
    if (i >= ids_.size())
        RaiseStreetError("TDxPrimCollection.Group", "index " + std::to_string(i) + " out of range");
    return {ids_[i],
            owners_[i],
            layers_[i],
            deleted_[i] != 0,
            TXYZ{centerX_[i], centerY_[i], 0},
            radius_[i],
            std::span<const TDxVertex>(vertices_.data() + i * vertsPerPrim_, vertsPerPrim_)};
}
