#pragma once
// Design style libraries of a street (blocks, line styles, fill styles).
#include "engine/Cp1251.h"
#include "engine/Streams.h"

#include <memory>
#include <vector>

class TStreetStructure;

class TDsnBlockDefList {
public:
    int Count() const { return 0; }
    void Clear() {}
    void LoadFromStream(TStream &s);
    void SaveToStream(TStream &s) const;
};

class TDsnLineDefList {
public:
    int Count() const { return 0; }
    void Clear() {}
    void PublishBatches(TStreetStructure &) {}
    void LoadFromStream(TStream &s);
    void SaveToStream(TStream &s) const;
};

class TDsnFigDefList {
public:
    int Count() const { return 0; }
    void Clear() {}
    void PublishBatches(TStreetStructure &) {}
    void LoadFromStream(TStream &s);
    void SaveToStream(TStream &s) const;
};
