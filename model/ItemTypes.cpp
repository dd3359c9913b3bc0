#include "model/ItemTypes.h"

#include "engine/StreetError.h"

#include <string>

namespace {

struct TItemTypeRow {
    int Code;
    const char *Ident; // as stored in street files: 8 ASCII bytes, blank-padded
    const char *ClassName;
    const char *DisplayName; // stored in files as part of type-set texts: must stay exact
    const char *ShortName;
    int Category;
};

constexpr std::array<TItemTypeRow, ItemTypeCount> TypeTable = {{
    {0, "SUBLAYER", "TSubLayerItem", "Подложка", "подложка", 3},
    {1, "RAZDPOL ", "TRazdPolItem", "Разд. полоса", "РП", 0},
    {2, "ROADWAY ", "TRoadWayItem", "Проезжая часть", "ПЧ", 0},
    {3, "TROTUAR ", "TTrotuarItem", "Тротуар", "трот.", 0},
    {4, "GAZON   ", "TGazonItem", "Газон", "газон", 0},
    {5, "OBOCH   ", "TObochItem", "Обочина", "обоч.", 0},
    {6, "HOUSE   ", "THouseItem", "Здание", "здание", 1},
    {7, "DSGNFIGR", "TDesignFigureItem", "Оформительская фигура", "оф.фиг.", 5},
    {8, "BORT    ", "TBortItem", "Борт", "борт", 1},
    {9, "ROADWALL", "TRoadWallItem", "Ограждение", "огр.", 1},
    {10, "LNRAZMET", "TLineRazmetItem", "Линия разметки", "разм.лин.", 2},
    {11, "ARRAZMET", "TArrowRazmetItem", "Разметка символы", "разм.симв.", 2},
    {12, "OSTROVOK", "TOstrovokItem", "Разметка-островок", "разм.остр.", 2},
    {13, "RAZMSTOP", "TRazmetStopItem", "Разметка остановки", "разм.ост.", 2},
    {14, "ZEBRA   ", "TZebraItem", "Разметка-зебра", "разм.зебра", 2},
    {15, "RAZMTEXT", "TRazmetTextItem", "Разметка текст", "разм.текст", 2},
    {16, "RAZMZNAK", "TRazmetZnakItem", "Разметка знак", "разм.знак", 2},
    {17, "PICTURE ", "TPictureItem", "Картинка", "картинка", 5},
    {18, "TRAMWAY ", "TTramWayItem", "Трам. линия", "трам.", 1},
    {19, "DSGNLINE", "TDesignLineItem", "Оформительская линия", "оф.лин.", 5},
    {20, "DSNBLOCK", "TDesignBlockItem", "Оформительский блок", "оф.блок", 5},
    {21, "TXTLABEL", "TTextLabelItem", "Текст", "текст", 5},
    {22, "ZNAK    ", "TZnakItem", "Дорожный знак", "дор.знак", 2},
    {23, "ROADSGN2", "TRoadSignItem", "Дорожный знак 2", "дор.знак", 2},
    {24, "KMSIGN  ", "TKMSignItem", "Километровый знак", "км.знак", 2},
    {25, "RULER   ", "TRulerItem", "Привязочные точки", "привяз.точ.", 3},
    {26, "ARCCOORD", "TArcCoordsItem", "Кривая", "кривая", 3},
    {27, "KOLOD   ", "TKolodItem", "Колодец", "колодец", 1},
    {28, "RESHET  ", "TReshetItem", "Решетка", "решетка", 1},
    {29, "SVETOFOR", "TSvetoforItem", "Светофор", "светофор", 2},
    {30, "RAZMER  ", "TRazmerItem", "Размерная линия", "размер", 5},
    {31, "RZLABLEP", "TRazmetLabelPlaceItem", "Место для подписей", "подп.разметки", 2},
    {32, "STOP    ", "TStopItem", "Остановка", "остановка", 1},
    {33, "KERN    ", "TKernItem", "Керн", "керн", 5},
    {34, "CALCAREA", "TCalcAreaItem", "Область обсчета", "обл.обсчета", 3},
    {35, "AXIS    ", "TAxisItem", "Направляющая", "ось", 3},
    {36, "PLANDEF ", "TPlanDefineItem", "План", "план", 3},
    {37, "LNDEFECT", "TLnDefectItem", "Линейный дефект", "лин.деф.", 4},
    {38, "SQDEFECT", "TSqDefectItem", "Площадной дефект", "пл.деф.", 4},
    {39, "RAD_MEAS", "TRadiusMeasureItem", "Измеритель радиуса", "изм.рад.", 3},
    {40, "SLOPMEAS", "TSlopeMeasureItem", "Измеритель уклона", "изм.укл.", 3},
}};

constexpr bool TableIsWellFormed() {
    for (int i = 0; i < ItemTypeCount; ++i) {
        const TItemTypeRow &r = TypeTable[static_cast<std::size_t>(i)];
        if (r.Code != i || std::string_view(r.Ident).size() != ItemIdentSize || r.Category < 0 ||
            r.Category > 5)
            return false;
    }
    return true;
}
static_assert(TableIsWellFormed(), "type table rows must be in code order with 8-byte idents");

// The texts in code page 1251, converted once from the UTF-8 of the table.
struct TTypeTexts {
    std::array<Cp1251String, ItemTypeCount> Idents, DisplayNames, ShortNames;
    TTypeTexts() {
        for (std::size_t i = 0; i < TypeTable.size(); ++i) {
            Idents[i] = Cp1251String(TypeTable[i].Ident);
            DisplayNames[i] = Cp(TypeTable[i].DisplayName);
            ShortNames[i] = Cp(TypeTable[i].ShortName);
        }
    }
};

const TTypeTexts &Texts() {
    static const TTypeTexts texts;
    return texts;
}

std::size_t Row(int code, const char *where) {
    if (!IsItemTypeCode(code))
        RaiseStreetError(where, "type code " + std::to_string(code) + " out of range 0..40");
    return static_cast<std::size_t>(code);
}

Cp1251String JoinMembers(const TItemTypeSet &set, const std::array<Cp1251String, ItemTypeCount> &names) {
    std::string out;
    for (int c = 0; c < ItemTypeCount; ++c) {
        if (set.Contains(c)) {
            out += names[static_cast<std::size_t>(c)].Bytes();
            out += ';';
        }
    }
    return Cp1251String(std::move(out));
}

} // namespace

const Cp1251String &ItemTypeIdent(int code) {
    return Texts().Idents[Row(code, "ItemTypeIdent")];
}

const Cp1251String &ItemTypeDisplayName(int code) {
    return Texts().DisplayNames[Row(code, "ItemTypeDisplayName")];
}

const char *ItemTypeClassName(int code) {
    return TypeTable[Row(code, "ItemTypeClassName")].ClassName;
}

int ItemTypeCategory(int code) {
    return TypeTable[Row(code, "ItemTypeCategory")].Category;
}

const std::array<Cp1251String, ItemTypeCount> &ItemTypeShortNames() {
    return Texts().ShortNames;
}

Cp1251String TypeSetToNames(const TItemTypeSet &set) {
    return JoinMembers(set, Texts().DisplayNames);
}

Cp1251String TypeSetToShortNames(const TItemTypeSet &set) {
    return JoinMembers(set, Texts().ShortNames);
}

TItemTypeSet NamesToTypeSet(const Cp1251String &names) {
    TItemTypeSet set;
    for (int c = 0; c < ItemTypeCount; ++c) {
        std::string key = Texts().DisplayNames[static_cast<std::size_t>(c)].Bytes();
        key += ';';
        if (names.Bytes().find(key) != std::string::npos)
            set.Include(c);
    }
    return set;
}

// Each registered class reports the ident of its table row, so searching the rows in code order gives
// what searching the registered classes gives, and works before start-up has registered them.
bool FindTypeByIdent(std::string_view ident, int &code) {
    if (ident.size() != ItemIdentSize)
        return false;
    for (int c = 0; c < ItemTypeCount; ++c) {
        if (ident == std::string_view(TypeTable[static_cast<std::size_t>(c)].Ident)) {
            code = c;
            return true;
        }
    }
    return false;
}

TItemClass::TItemClass(int typeCode) : TypeCode_(static_cast<int>(Row(typeCode, "TItemClass.Create"))) {}

void TItemClasses::Register(std::unique_ptr<TItemClass> itemClass) {
    if (!itemClass)
        RaiseStreetError("TItemClasses.Register", "no class given");
    const int code = itemClass->GetTypeCode();
    auto &slot = Classes_[static_cast<std::size_t>(code)];
    if (slot)
        RaiseStreetError("TItemClasses.Register", std::string("type ") + std::to_string(code) +
                                                      " already has class " + slot->GetClassName());
    slot = std::move(itemClass);
}

bool TItemClasses::IsComplete() const {
    for (const auto &c : Classes_)
        if (!c)
            return false;
    return true;
}

constinit TItemClasses ItemClasses;
