#pragma once
// Sign tests: small enhanced metafiles written in the test with libUEMF, and a fixture that points
// DataFiles at a folder of its own holding a fixed sign library, the sign tables and the missing-sign
// picture, with the process's library, tables and texture cache opened afresh.
#include "ObjectsTestUtil.h"

#include "support/TestSupport.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace signtest {

// A width x height pixel picture (96 per inch) filled with the colour (0xRRGGBB), with a square of the
// mark colour in its top-left quarter (so turns and flips show).
std::vector<uint8_t> TestEmf(int width, int height, uint32_t fill, uint32_t mark = 0x000000);

// The fixture library, in the order the library lists it:
//   0 "2-4.emf" (red), 1 "3-24.emf" (green), 2 "5-19-1.emf" (blue), 3 "Pair-A.EMF" and 4 "pair-b.emf"
//   (the same bytes, yellow).
struct TFixtureSign {
    const char *Name;
    uint32_t Fill;
};
extern const TFixtureSign FixtureSigns[5];
std::vector<uint8_t> FixtureSignBytes(int index);
// "Знаки/Знак отсутствует в библиотеке.emf" of the fixture: grey.
constexpr uint32_t MissingFill = 0x808080;

class SignFixture : public objtest::TWithClasses {
protected:
    SignFixture();
    ~SignFixture() override;
    const std::filesystem::path &DataDir() const { return Temp_.Path(); }
    // The library's default folder below the fixture's DataFiles (made when missing).
    std::filesystem::path LibraryDir() const;
    // The library is opened afresh at its next use (after the test changed its folder).
    static void Reopen();

private:
    sptest::TempDir Temp_;
    std::unique_ptr<sptest::DataFilesAt> DataFiles_;
};

} // namespace signtest
