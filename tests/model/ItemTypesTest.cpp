#include "model/ItemTypes.h"
#include "model/AbstractItem.h"
#include "model/ItemTypeCodes.h"

#include "engine/StreetError.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

TEST(ItemTypes, TableRows) {
    struct TRow {
        int code;
        const char *ident, *className, *displayName, *shortName;
        int category;
    };
    const TRow rows[] = {
        {0, "SUBLAYER", "TSubLayerItem", "Подложка", "подложка", 3},
        {1, "RAZDPOL ", "TRazdPolItem", "Разд. полоса", "РП", 0},
        {13, "RAZMSTOP", "TRazmetStopItem", "Разметка остановки", "разм.ост.", 2},
        {20, "DSNBLOCK", "TDesignBlockItem", "Оформительский блок", "оф.блок", 5},
        {24, "KMSIGN  ", "TKMSignItem", "Километровый знак", "км.знак", 2},
        {31, "RZLABLEP", "TRazmetLabelPlaceItem", "Место для подписей", "подп.разметки", 2},
        {35, "AXIS    ", "TAxisItem", "Направляющая", "ось", 3},
        {37, "LNDEFECT", "TLnDefectItem", "Линейный дефект", "лин.деф.", 4},
        {40, "SLOPMEAS", "TSlopeMeasureItem", "Измеритель уклона", "изм.укл.", 3},
    };
    for (const TRow &r : rows) {
        SCOPED_TRACE(r.code);
        EXPECT_EQ(ItemTypeIdent(r.code), Cp1251String(r.ident));
        EXPECT_STREQ(ItemTypeClassName(r.code), r.className);
        EXPECT_EQ(ItemTypeDisplayName(r.code), Cp(r.displayName));
        EXPECT_EQ(ItemTypeShortNames()[static_cast<std::size_t>(r.code)], Cp(r.shortName));
        EXPECT_EQ(ItemTypeCategory(r.code), r.category);
    }
    EXPECT_THROW(ItemTypeIdent(41), EStreetError);
    EXPECT_THROW(ItemTypeDisplayName(-1), EStreetError);
}

TEST(ItemTypes, IdentsAndDisplayNamesAreUnique) {
    std::set<Cp1251String> idents, names, shortNames;
    for (int c = 0; c < ItemTypeCount; ++c) {
        idents.insert(ItemTypeIdent(c));
        names.insert(ItemTypeDisplayName(c));
        shortNames.insert(ItemTypeShortNames()[static_cast<std::size_t>(c)]);
        EXPECT_EQ(ItemTypeIdent(c).Size(), 8u) << c;
    }
    EXPECT_EQ(idents.size(), 41u);
    EXPECT_EQ(names.size(), 41u);
    EXPECT_EQ(shortNames.size(), 40u); // 22 and 23 share "дор.знак"
}

TEST(ItemTypes, FindTypeByIdent) {
    struct TCase {
        std::string ident;
        bool found;
        int code;
    };
    const TCase cases[] = {
        {"AXIS    ", true, 35}, {"axis    ", false, -7},  {std::string("AXIS\0\0\0\0", 8), false, -7},
        {"AXIS", false, -7},    {"AXIS     ", false, -7}, {"SUBLAYER", true, 0},
        {"ROADSGN2", true, 23}, {"SLOPMEAS", true, 40},   {"RAD_MEAS", true, 39},
    };
    for (const TCase &c : cases) {
        int code = -7;
        EXPECT_EQ(FindTypeByIdent(c.ident, code), c.found) << c.ident;
        EXPECT_EQ(code, c.code) << c.ident;
    }
}

TEST(ItemTypeSet, MembershipAndBytes) {
    TItemTypeSet s{0, 9, 40, 47, 48, 100, -1};
    EXPECT_EQ(s.Bytes(), (std::array<uint8_t, 6>{0x01, 0x02, 0x00, 0x00, 0x00, 0x81}));
    for (int c : {0, 9, 40, 47})
        EXPECT_TRUE(s.Contains(c)) << c;
    for (int c : {1, 8, 41, 48, 63, 255, -1, 1000})
        EXPECT_FALSE(s.Contains(c)) << c;
    s.Exclude(9);
    s.Exclude(48); // no effect, no out-of-range write
    EXPECT_FALSE(s.Contains(9));

    const TItemTypeSet full = FullTypeSet();
    EXPECT_EQ(full.Bytes(), (std::array<uint8_t, 6>{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_FALSE(full.Contains(48));
    EXPECT_TRUE(full.Contains(47));
    EXPECT_TRUE(TItemTypeSet().IsEmpty());
}

TEST(ItemTypeSet, Operations) {
    const TItemTypeSet a{1, 2, 3, 40}, b{3, 4, 40};
    EXPECT_EQ(a | b, (TItemTypeSet{1, 2, 3, 4, 40}));
    EXPECT_EQ(a & b, (TItemTypeSet{3, 40}));
    EXPECT_EQ(a - b, (TItemTypeSet{1, 2}));
    EXPECT_TRUE(a.Meets(b));
    EXPECT_FALSE((a - b).Meets(b));
    // Bits 41..47 are inert: a set holding only them is empty and shares no type with anything.
    const TItemTypeSet high{41, 45, 47};
    EXPECT_TRUE(high.IsEmpty());
    EXPECT_FALSE(high.Meets(FullTypeSet()));
    EXPECT_FALSE(FullTypeSet().Meets(TItemTypeSet()));
    EXPECT_TRUE(FullTypeSet().Meets(TItemTypeSet{0}));
}

TEST(ItemTypeSet, NamesOfTheFullSetConvertBack) {
    const Cp1251String names = TypeSetToNames(FullTypeSet());
    Cp1251String expected;
    TItemTypeSet all;
    for (int c = 0; c < ItemTypeCount; ++c) {
        expected += ItemTypeDisplayName(c) + Cp1251String(";");
        all.Include(c);
    }
    EXPECT_EQ(names, expected);
    EXPECT_EQ(NamesToTypeSet(names), all);
    EXPECT_NE(NamesToTypeSet(names), FullTypeSet()); // bits 41..47 are lost
}

TEST(ItemTypeSet, EachDisplayNameSelectsOnlyItsType) {
    // Catches display names that occur inside another name followed by ";" (types 22 and 23 among them).
    for (int c = 0; c < ItemTypeCount; ++c)
        EXPECT_EQ(NamesToTypeSet(ItemTypeDisplayName(c) + Cp1251String(";")), TItemTypeSet{c}) << c;
}

TEST(ItemTypeSet, NameTexts) {
    struct TCase {
        const char *text;
        TItemTypeSet set;
    };
    const TCase cases[] = {
        {"Проезжая часть;Газон;", {RoadWayTypeCode, GazonTypeCode}},
        {"Дорожный знак;", {ZnakTypeCode}},
        {"Дорожный знак 2;", {RoadSignTypeCode}},
        {"Дорожный знак 2;Дорожный знак;", {ZnakTypeCode, RoadSignTypeCode}},
        {"Разметка текст;", {RazmetTextTypeCode}}, // "Текст;" is case-sensitive: no text label
        {"Газон", {}},                             // no semicolon
        {"xxГазон;yy", {GazonTypeCode}},
        {"", {}},
    };
    for (const TCase &c : cases)
        EXPECT_EQ(NamesToTypeSet(Cp(c.text)), c.set) << c.text;
    EXPECT_EQ(TypeSetToNames(TItemTypeSet{GazonTypeCode, RoadWayTypeCode}), Cp("Проезжая часть;Газон;"));
    EXPECT_EQ(TypeSetToNames(TItemTypeSet{}), Cp1251String());
    EXPECT_EQ(TypeSetToNames(TItemTypeSet{41, 47}), Cp1251String());
    EXPECT_EQ(TypeSetToShortNames(TItemTypeSet{ZnakTypeCode, RoadSignTypeCode}), Cp("дор.знак;дор.знак;"));
    EXPECT_EQ(TypeSetToShortNames(TItemTypeSet{RazmetStopTypeCode, AxisTypeCode}), Cp("разм.ост.;ось;"));
}

class TStubItem : public TAbstractItem {
public:
    int GetTypeCode() const override { return 24; }
};

class TStubClass : public TItemClass {
public:
    explicit TStubClass(int code) : TItemClass(code) {}
    std::unique_ptr<TAbstractItem> NewItem() const override { return nullptr; }
};

TEST(ItemClasses, RegistrationFillsTheTable) {
    TItemClasses table;
    EXPECT_EQ(table[KMSignTypeCode], nullptr);
    table.Register(std::make_unique<TItemClassOf<TStubItem>>(KMSignTypeCode));
    const TItemClass *cls = table[KMSignTypeCode];
    ASSERT_NE(cls, nullptr);
    EXPECT_EQ(cls->GetTypeCode(), KMSignTypeCode);
    EXPECT_EQ(cls->GetIdent(), Cp1251String("KMSIGN  "));
    EXPECT_EQ(cls->GetDisplayName(), Cp("Километровый знак"));
    EXPECT_EQ(cls->GetCategory(), 2);
    EXPECT_STREQ(cls->GetClassName(), "TKMSignItem");
    auto item = cls->NewItem();
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->GetTypeCode(), 24);
    EXPECT_TRUE(item->Active);

    EXPECT_THROW(table.Register(std::make_unique<TStubClass>(24)), EStreetError);
    EXPECT_THROW(table.Register(nullptr), EStreetError);
    EXPECT_THROW(TStubClass(41), EStreetError);
    EXPECT_THROW(TStubClass(-1), EStreetError);
    EXPECT_EQ(table[41], nullptr);
    EXPECT_EQ(table[-1], nullptr);

    EXPECT_FALSE(table.IsComplete());
    for (int c = 0; c < ItemTypeCount; ++c)
        if (c != 24)
            table.Register(std::make_unique<TStubClass>(c));
    EXPECT_TRUE(table.IsComplete());
}

// A street's drawing skips the item walk of classes that draw nothing of their own: a class that overrides
// Draw, itself or through a base, must still be walked; a hand-written class is walked to be safe.
class TDrawingStubItem : public TStubItem {
public:
    void Draw(const TDxDrawParams &, uint32_t) override {}
};
class TDerivedDrawingStubItem : public TDrawingStubItem {};

TEST(ItemClasses, OnlyClassesThatOverrideDrawAreWalkedEachFrame) {
    EXPECT_FALSE(TItemClassOf<TStubItem>(KMSignTypeCode).DrawsEachFrame());
    EXPECT_TRUE(TItemClassOf<TDrawingStubItem>(KMSignTypeCode).DrawsEachFrame());
    EXPECT_TRUE(TItemClassOf<TDerivedDrawingStubItem>(KMSignTypeCode).DrawsEachFrame());
    EXPECT_TRUE(TStubClass(KMSignTypeCode).DrawsEachFrame());
}

} // namespace
