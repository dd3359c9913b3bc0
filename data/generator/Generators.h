#pragma once
// The data-file generator: every file of DataFiles/ is written here from the readable tables of data/.
// Each generator reads its own tables below the source folder and writes its files below the output
// folder; a mistake in a table is an exception that stops the build with a message.
#include <filesystem>
#include <string>

namespace datagen {

struct TContext {
    std::filesystem::path sources; // data/
    std::filesystem::path out;     // DataFiles/
};

// Writes bytes to a file below the output folder (UTF-8 relative name, "/" between folders), making its
// folders; through a temporary file, so a half-written file never stays.
void WriteDataFile(const TContext &ctx, const std::string &relName, const std::string &bytes);

// "Разметка/Default.LnRazmet" and the marking textures it names (data/marking/).
void GenerateLineMarkings(const TContext &ctx);

// "Разметка/ArrowRazmet.std", the lane-arrow library (data/marking/arrows.tsv).
void GenerateArrowSymbols(const TContext &ctx);

// "DefaultDirs/Каталог словарей/Ширина борта.txt", the curb-width dictionary (data/curbs/).
void GenerateCurbWidths(const TContext &ctx);

// Small fixed pictures (data/pictures/pictures.tsv).
void GeneratePictures(const TContext &ctx);

// The sign library "DefaultDirs/Каталог библиотеки метафайлов/*.emf", "Знаки/Описания знаков.txt",
// "Знаки/Площади знаков.txt", "Знаки/OldLibTranslation.txt", the missing-sign picture and the support-kind
// dictionary (data/signs/).
void GenerateSigns(const TContext &ctx);

// The glyph streets of painted road text and signs, "Разметка/RazmetFont.zrv" and "Знаки/ZnakRoadCopy.zrv"
// (data/razmet/).
void GenerateRoadGlyphs(const TContext &ctx);

} // namespace datagen
