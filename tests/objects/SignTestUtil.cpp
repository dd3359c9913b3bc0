#include "SignTestUtil.h"

#include "engine/Directory.h"
#include "objects/EmfTexture.h"
#include "objects/MetafileLib.h"
#include "objects/SignPicture.h"

#include <uemf.h>

#include <cstdlib>
#include <fstream>

namespace signtest {

namespace {

void WriteText(const std::filesystem::path &file, const std::string &bytes) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << bytes;
}

void Brush(EMFTRACK *et, EMFHANDLES *eht, uint32_t rgb) {
    uint32_t ih = 0;
    const U_COLORREF c = colorref3_set(uint8_t(rgb >> 16), uint8_t(rgb >> 8), uint8_t(rgb));
    emf_append(reinterpret_cast<PU_ENHMETARECORD>(createbrushindirect_set(&ih, eht, logbrush_set(U_BS_SOLID, c, 0))),
               et, U_REC_FREE);
    emf_append(reinterpret_cast<PU_ENHMETARECORD>(selectobject_set(ih, eht)), et, U_REC_FREE);
}

} // namespace

std::vector<uint8_t> TestEmf(int width, int height, uint32_t fill, uint32_t mark) {
    sptest::TempDir dir;
    const std::string file = dir.File("p.emf");
    EMFTRACK *et = nullptr;
    EMFHANDLES *eht = nullptr;
    emf_start(file.c_str(), 4096, 4096, &et);
    emf_htable_create(32, 32, &eht);
    const auto add = [&](char *rec) { emf_append(reinterpret_cast<PU_ENHMETARECORD>(rec), et, U_REC_FREE); };
    const U_RECTL bounds = rectl_set(point32_set(0, 0), point32_set(width - 1, height - 1));
    const U_RECTL frame = rectl_set(point32_set(0, 0), point32_set(width * 2540 / 96, height * 2540 / 96));
    add(U_EMRHEADER_set(bounds, frame, nullptr, 0, nullptr, sizel_set(960, 960), sizel_set(254, 254), 0));
    add(selectobject_set(U_NULL_PEN, eht));
    Brush(et, eht, fill);
    add(U_EMRRECTANGLE_set(rectl_set(point32_set(0, 0), point32_set(width, height))));
    Brush(et, eht, mark);
    add(U_EMRRECTANGLE_set(rectl_set(point32_set(0, 0), point32_set(width / 2, height / 2))));
    add(U_EMREOF_set(0, nullptr, et));
    emf_finish(et, eht);
    emf_free(&et);
    emf_htable_free(&eht);
    return sptest::ReadFileBytes(file);
}

const TFixtureSign FixtureSigns[5] = {{"2-4.emf", 0xC00000},    {"3-24.emf", 0x00A000},
                                      {"5-19-1.emf", 0x0000C0}, {"Pair-A.EMF", 0xE0E000},
                                      {"pair-b.emf", 0xE0E000}};

std::vector<uint8_t> FixtureSignBytes(int index) {
    return TestEmf(90, 60, FixtureSigns[index].Fill);
}

SignFixture::SignFixture() {
    DataFiles_ = std::make_unique<sptest::DataFilesAt>(Temp_.Path());
    for (int i = 0; i < 5; ++i)
        sptest::WriteFileBytes((LibraryDir() / FixtureSigns[i].Name).string(), FixtureSignBytes(i));
    const std::filesystem::path signs = Temp_.Path() / u8"Знаки";
    const std::vector<uint8_t> missing = TestEmf(60, 60, MissingFill);
    std::filesystem::create_directories(signs);
    sptest::WriteFileBytes((signs / u8"Знак отсутствует в библиотеке.emf").string(), missing);
    WriteText(signs / u8"Описания знаков.txt",
              Cp("2.4=Уступите дорогу\r\n3.24=Ограничение скорости\r\n5.19.1=Пешеходный переход\r\n").Bytes());
    WriteText(signs / u8"Площади знаков.txt", "2.4=0.351\r\n3.24=0.385\r\n5.19.1=0.49\r\n");
    WriteText(signs / "OldLibTranslation.txt", "5_19_1.emf=5-19-1.emf\r\nold-gone.emf=nothing.emf\r\n");
    Reopen();
}

SignFixture::~SignFixture() {
    Reopen();
}

std::filesystem::path SignFixture::LibraryDir() const {
    const std::filesystem::path dir = Temp_.Path() / "DefaultDirs" / u8"Каталог библиотеки метафайлов";
    std::filesystem::create_directories(dir);
    return dir;
}

void SignFixture::Reopen() {
    TEMFTexture::FreeCache();
    FreeSignMetafileLibrary();
    FreeSignTables();
    TakeSignLibraryNotices();
}

} // namespace signtest
