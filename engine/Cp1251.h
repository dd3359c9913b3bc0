#pragma once
// Text that lives in the model and in files: code-page-1251 bytes, copied untouched by streams so files
// round-trip losslessly. Conversion to Unicode happens only at the UI boundary, through our own 256-entry
// table in which the unassigned byte 0x98 maps to U+0098, so every byte string converts back unchanged.
#include <compare>
#include <cstddef>
#include <string>
#include <string_view>

class Cp1251String {
public:
    Cp1251String() = default;
    // Raw code-page-1251 bytes (for ASCII literals and bytes read from files).
    explicit Cp1251String(std::string bytes) : bytes_(std::move(bytes)) {}
    explicit Cp1251String(const char *bytes) : bytes_(bytes) {}
    Cp1251String(const char *bytes, std::size_t n) : bytes_(bytes, n) {}

    // Converts UTF-8 text (source literals, user input). Throws EStreetError when a character has no
    // code-page-1251 form or the UTF-8 is malformed; TryFromUtf8 reports it instead.
    static Cp1251String FromUtf8(std::string_view utf8);
    static bool TryFromUtf8(std::string_view utf8, Cp1251String &out);
    std::string ToUtf8() const;

    const std::string &Bytes() const { return bytes_; }
    std::string &Bytes() { return bytes_; }
    const char *Data() const { return bytes_.data(); }
    std::size_t Size() const { return bytes_.size(); }
    bool Empty() const { return bytes_.empty(); }
    unsigned char operator[](std::size_t i) const { return static_cast<unsigned char>(bytes_[i]); }

    Cp1251String Sub(std::size_t pos, std::size_t n = std::string::npos) const {
        return Cp1251String(bytes_.substr(pos, n));
    }
    std::size_t Find(const Cp1251String &what, std::size_t from = 0) const { return bytes_.find(what.bytes_, from); }
    bool Contains(const Cp1251String &what) const { return bytes_.find(what.bytes_) != std::string::npos; }

    Cp1251String &operator+=(const Cp1251String &o) {
        bytes_ += o.bytes_;
        return *this;
    }
    friend Cp1251String operator+(Cp1251String a, const Cp1251String &b) { return a += b; }
    friend bool operator==(const Cp1251String &, const Cp1251String &) = default;
    friend std::strong_ordering operator<=>(const Cp1251String &a, const Cp1251String &b) {
        return a.bytes_ <=> b.bytes_;
    }

private:
    std::string bytes_;
};

// Unicode code point of a code-page-1251 byte (a bijection onto 256 code points).
char32_t Cp1251ToUnicode(unsigned char b);
// The byte of a code point, or -1 when it has no code-page-1251 form.
int UnicodeToCp1251(char32_t c);

// Our own case fold of code page 1251 (Latin and Cyrillic letters, including Ё/ё and the other Cyrillic
// letters of the upper half); other bytes are unchanged.
unsigned char Cp1251Upper(unsigned char b);
unsigned char Cp1251Lower(unsigned char b);
Cp1251String UpperCase(const Cp1251String &s);
Cp1251String LowerCase(const Cp1251String &s);
// Case-insensitive comparison through the fold table; <0, 0, >0 like strcmp on upper-cased bytes.
int CompareText(const Cp1251String &a, const Cp1251String &b);
bool SameText(const Cp1251String &a, const Cp1251String &b);

// Shorthand for texts written in UTF-8 source files (Russian captions, names): converts at run time.
Cp1251String Cp(std::string_view utf8);
