#pragma once
// Line-marking styles: one record per marking code (the number of the road-marking standard) with the
// texture, its repeat period, the two lateral edges of the painted strip, a description, an area
// coefficient and four flags. A street carries its own table in its file ("LNPARAMS" section); without
// one it uses the table of "Разметка\Default.LnRazmet" in DataFiles; the editor exchanges tables with
// "*.LnRazmet" files.
//
// "*.LnRazmet" files are INI text in code page 1251, one section per record in table order, the section
// name being the code:
//   [1.5]
//   TextureFile=Dash_1_3.bmp
//   Period=12
//   ...
// Values are read as bytes, untouched; numbers use "." (a "," written by other programs as the decimal
// separator is read too); booleans are "1" or "0". A missing or malformed value keeps the record's
// default (0, "" or false). Keys match whatever their letter case; lines may end in CR LF, LF or CR;
// lines starting with ";" are comments; blanks around keys and values are not part of them.
#include "engine/Cp1251.h"
#include "engine/Streams.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Size of a record as stored in street files.
constexpr int32_t LnParamRecSize = 788;
// Most bytes a text field of a record holds (a length byte and up to 255 characters when stored).
constexpr std::size_t LnParamTextMax = 255;
// Period drawn for markings whose record has none that is usable, and for markings without a record.
constexpr double LnParamDefaultPeriod = 4.0;

struct TLnParamRec {
    Cp1251String Name{};        // marking code
    Cp1251String TextureFile{}; // below "DataFiles\Разметка\"
    float Period = 0;           // repeat length of the texture along the line, metres
    float Disp1 = 0;            // lateral offset of one edge of the painted strip
    float Disp2 = 0;            // lateral offset of the other edge
    Cp1251String Description{};
    float SqCoeff = 0; // share of the strip that is painted
    bool FullPeriods = false;
    bool Yellow = false;
    bool Plastic = false;
    bool CountItems = false; // count the lines in summaries
};

// Order is significant: the drawing batches of line markings follow it.
using TLnParamArray = std::vector<TLnParamRec>;

// The index of the first record whose Name equals the code byte for byte, -1 when none does.
int32_t FindLnParam(const TLnParamArray &params, const Cp1251String &code);

// ---- "*.LnRazmet" files --------------------------------------------------------------------------------

// The records of an INI file, one per section in file order (sections of one name give a record each,
// each with the values of its own section). Name is the section name, every text cut to 255 bytes.
// A missing file gives an empty table; a file that exists but cannot be read is an EStreetError.
void LoadLnParams(const std::string &fileName, TLnParamArray &params);
// The same from the bytes of such a file.
TLnParamArray LnParamsFromIni(std::string_view bytes);
// The whole file anew, in table order, through a temporary file renamed over the old one after a
// complete write: records deleted from the table do not survive, and a failed save keeps the old file.
// A text holding a line break cannot be written and is an EStreetError naming the record.
void SaveLnParams(const std::string &fileName, const TLnParamArray &params);
// The bytes SaveLnParams writes (CR LF line ends).
std::string LnParamsToIni(const TLnParamArray &params);

// The table of "Разметка\Default.LnRazmet" in DataFiles; empty when there is no such file.
void LoadDefaultLnParams(TLnParamArray &params);

// ---- "LNPARAMS" section of street files ----------------------------------------------------------------

// Reads the section when the next 8 bytes are the tag "LNPARAMS": int32 count, int32 record size, then
// count records of that size. A record larger than 788 bytes is read from its first 788 bytes (the rest
// skipped); a smaller one fills the fields it holds, the rest are zero (a text cut by the record's end
// keeps the characters present). A count of 0 is an empty table whatever the size. A negative count, a
// size of 0 or below with records, or more records than bytes present are an EStreetError naming the
// stream and offset, and params stay as they were. Without the tag the stream is left where it was,
// params untouched, and the result is false.
bool ReadLnParams(TStream &stream, TLnParamArray &params);
// Writes the tag, the count, 788 and each record's 788 bytes; texts are cut to 255 bytes and the bytes
// after them are zero, booleans are 0 or 1.
void WriteLnParams(TStream &stream, const TLnParamArray &params);

// ---- Use of a record -----------------------------------------------------------------------------------

// The texture period drawn along a marking line of the given length. A record whose Period is not a
// positive number draws with LnParamDefaultPeriod. Unless FullPeriods is set, the period is adjusted
// so that the line holds a whole number n >= 1 of periods (n = round (length / period), halves to even);
// a line without length keeps the period. The result is always positive.
double LnParamDrawPeriod(const TLnParamRec &rec, double lineLength);
// The length a marking line counts for in summaries: with FullPeriods, whole periods only; a record
// whose Period is not a positive number counts the whole length.
double LnParamCountedLength(const TLnParamRec &rec, double length);
// The texture file of a record below "DataFiles\Разметка\"; nothing when the name is missing, refused
// (absolute, "..") or names no file.
std::optional<std::filesystem::path> FindLnTexture(const TLnParamRec &rec);
