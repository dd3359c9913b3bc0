#include "objects/ItemTextures.h"

#include "engine/DataFiles.h"
#include "engine/DrawProblems.h"
#include "engine/DxTexture.h"

#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <utility>

namespace {

struct TTextureCache {
    // Keyed by folder and name as asked; an empty entry is a picture that could not be had.
    std::map<std::pair<Cp1251String, Cp1251String>, std::unique_ptr<TBitmap>> Pictures;
    TItemTextureWarning Warning;
};

TTextureCache &Cache() {
    static TTextureCache cache;
    return cache;
}

void Warn(const std::string &message) {
    if (Cache().Warning)
        Cache().Warning(message);
    else
        std::fprintf(stderr, "%s\n", message.c_str());
}

std::string Shown(const Cp1251String &folder, const Cp1251String &name) {
    return (folder.Empty() ? name : folder + Cp1251String("\\") + name).ToUtf8();
}

std::unique_ptr<TBitmap> ReadPicture(const Cp1251String &folder, const Cp1251String &name) {
    const std::optional<std::filesystem::path> file = FindDataFile(folder, name);
    if (!file) {
        Warn("Item texture not found: " + Shown(folder, name) + " (drawn without texture)");
        return nullptr;
    }
    auto picture = std::make_unique<TBitmap>();
    try {
        picture->LoadFromFile(file->string());
    } catch (const std::exception &e) {
        Warn("Item texture unreadable: " + Shown(folder, name) + ": " + e.what() +
             " (drawn without texture)");
        return nullptr;
    }
    if (picture->Empty()) {
        Warn("Item texture empty: " + Shown(folder, name) + " (drawn without texture)");
        return nullptr;
    }
    return picture;
}

} // namespace

const TBitmap *ItemTexturePicture(const Cp1251String &folder, const Cp1251String &name) {
    auto &pictures = Cache().Pictures;
    const auto key = std::make_pair(folder, name);
    auto it = pictures.find(key);
    if (it == pictures.end())
        it = pictures.emplace(key, ReadPicture(folder, name)).first;
    return it->second.get();
}

void SetItemTexture(TItemBatch &batch, const Cp1251String &folder, const Cp1251String &name) {
    batch.SetPicture(ItemTexturePicture(folder, name), TTextureAddress::Wrap, TTextureAddress::Clamp);
}

void SetItemTextureWarning(TItemTextureWarning warning) {
    Cache().Warning = std::move(warning);
}

void ForgetItemTextures() {
    Cache().Pictures.clear();
}

std::unique_ptr<TTextureSurface> LoadDataTexture(const Cp1251String &name, const std::string &key,
                                                 const std::string &what) {
    try {
        const std::optional<std::filesystem::path> file = FindDataFile(name);
        if (!file)
            throw std::runtime_error("file not found in " + DataFilesDir().string());
        auto texture = std::make_unique<TTextureSurface>();
        texture->LoadFromFile(file->string());
        return texture;
    } catch (const std::exception &e) {
        ReportDrawProblemOnce(key, what + " " + name.ToUtf8() + " cannot be read: " + e.what());
        return nullptr;
    }
}
