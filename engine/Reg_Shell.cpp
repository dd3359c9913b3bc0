#include "engine/Reg_Shell.h"

#include "engine/Cp1251Qt.h"
#include "platform/settings/SettingsStore.h"

#include <algorithm>
#include <exception>
#include <limits>
#include <memory>

namespace {

std::unique_ptr<TSettingsStore> &SharedStore() {
    static std::unique_ptr<TSettingsStore> store;
    return store;
}

QString SectionKey(const Cp1251String &section) {
    return QStringLiteral("\\") + ToQString(AppRegKeyName()) + QStringLiteral("\\") + ToQString(section);
}

// Closes the store's key on every path out of an operation.
class TKeyCloser {
public:
    explicit TKeyCloser(TSettingsStore &store) : store_(store) {}
    ~TKeyCloser() { store_.CloseKey(); }
    TKeyCloser(const TKeyCloser &) = delete;
    TKeyCloser &operator=(const TKeyCloser &) = delete;

private:
    TSettingsStore &store_;
};

// Reads one value of a section; false when the section or value is missing or anything goes wrong.
template <class Read> bool TryRead(const Cp1251String &section, Read read) {
    try {
        TSettingsStore &reg = AppRegistry();
        TKeyCloser closer(reg);
        if (!reg.OpenKey(SectionKey(section), false))
            return false;
        return read(reg);
    } catch (const std::exception &) {
        return false;
    }
}

template <class Write> void WriteValue(const Cp1251String &section, Write write) {
    TSettingsStore &reg = AppRegistry();
    TKeyCloser closer(reg);
    reg.OpenKey(SectionKey(section), true);
    write(reg);
}

std::vector<Cp1251String> SplitLines(const std::string &text) {
    std::vector<Cp1251String> lines;
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t start = i;
        while (i < text.size() && text[i] != '\r' && text[i] != '\n')
            ++i;
        lines.emplace_back(text.substr(start, i - start));
        if (i < text.size() && text[i] == '\r')
            ++i;
        if (i < text.size() && text[i] == '\n')
            ++i;
    }
    return lines;
}

int32_t Clamp32(int64_t v) {
    return static_cast<int32_t>(
        std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

} // namespace

Cp1251String AppRegKeyName() {
    Cp1251String name;
    if (!TryFromQString(ExecutableBaseName(), name))
        name = Cp1251String("StreetPlan");
    return name;
}

TSettingsStore &AppRegistry() {
    auto &store = SharedStore();
    if (!store)
        store = std::make_unique<TSettingsStore>(DefaultSettingsFile());
    return *store;
}

void FreeAppRegistry() {
    SharedStore().reset();
}

void RegWriteString(const Cp1251String &section, const Cp1251String &name, const Cp1251String &text) {
    WriteValue(section, [&](TSettingsStore &reg) { reg.WriteString(ToQString(name), ToQString(text)); });
}

Cp1251String RegReadString(const Cp1251String &section, const Cp1251String &name) {
    Cp1251String result;
    TryRead(section, [&](TSettingsStore &reg) {
        Cp1251String text;
        if (!reg.ValueExists(ToQString(name)) || !TryFromQString(reg.ReadString(ToQString(name)), text))
            return false;
        result = std::move(text);
        return true;
    });
    return result;
}

void RegWriteInteger(const Cp1251String &section, const Cp1251String &name, int32_t value) {
    WriteValue(section, [&](TSettingsStore &reg) { reg.WriteInteger(ToQString(name), value); });
}

int32_t RegReadInteger(const Cp1251String &section, const Cp1251String &name) {
    int32_t result = 0;
    TryRead(section, [&](TSettingsStore &reg) {
        result = reg.ReadInteger(ToQString(name));
        return true;
    });
    return result;
}

void RegWriteBool(const Cp1251String &section, const Cp1251String &name, bool value) {
    WriteValue(section, [&](TSettingsStore &reg) { reg.WriteBool(ToQString(name), value); });
}

bool RegReadBool(const Cp1251String &section, const Cp1251String &name, bool def) {
    bool result = def;
    TryRead(section, [&](TSettingsStore &reg) {
        result = reg.ReadBool(ToQString(name));
        return true;
    });
    return result;
}

std::vector<Cp1251String> RegReadValueNames(const Cp1251String &section) {
    std::vector<Cp1251String> names;
    TryRead(section, [&](TSettingsStore &reg) {
        for (const QString &name : reg.ValueNames()) {
            Cp1251String text;
            if (TryFromQString(name, text))
                names.push_back(std::move(text));
        }
        return true;
    });
    return names;
}

void RegWriteStrings(const Cp1251String &section, const Cp1251String &name,
                     const std::vector<Cp1251String> &list) {
    Cp1251String text;
    for (const Cp1251String &s : list)
        text += s + Cp1251String("\n");
    RegWriteString(section, name, text);
}

void RegReadStrings(const Cp1251String &section, const Cp1251String &name, std::vector<Cp1251String> &list) {
    TryRead(section, [&](TSettingsStore &reg) {
        Cp1251String text;
        if (!reg.ValueExists(ToQString(name)) || !TryFromQString(reg.ReadString(ToQString(name)), text))
            return false;
        list = SplitLines(text.Bytes());
        return true;
    });
}

void RegAddMruString(const Cp1251String &section, const Cp1251String &name, const Cp1251String &value,
                     int maxCount) {
    std::vector<Cp1251String> list;
    RegReadStrings(section, name, list);
    std::erase(list, value);
    list.insert(list.begin(), value);
    const std::size_t max = maxCount > 0 ? static_cast<std::size_t>(maxCount) : 0;
    if (list.size() > max)
        list.resize(max);
    RegWriteStrings(section, name, list);
}

void SaveFormPos(const TFormPos &form) {
    WriteValue(form.Name + Cp1251String("\\Pos"), [&](TSettingsStore &reg) {
        reg.WriteInteger(QStringLiteral("Left"), form.Left);
        reg.WriteInteger(QStringLiteral("Top"), form.Top);
        if (form.Sizeable) {
            reg.WriteInteger(QStringLiteral("Width"), form.Width);
            reg.WriteInteger(QStringLiteral("Height"), form.Height);
        }
    });
}

void RestoreFormPos(TFormPos &form, const TWorkArea &workArea) {
    TryRead(form.Name + Cp1251String("\\Pos"), [&](TSettingsStore &reg) {
        form.Left = reg.ReadInteger(QStringLiteral("Left"));
        form.Top = reg.ReadInteger(QStringLiteral("Top"));
        if (form.Sizeable) {
            const int32_t width = reg.ReadInteger(QStringLiteral("Width"));
            if (width < 0)
                return false;
            form.Width = width;
            const int32_t height = reg.ReadInteger(QStringLiteral("Height"));
            if (height < 0)
                return false;
            form.Height = height;
        }
        return true;
    });
    FitFormToScreen(form, workArea);
}

void FitFormToScreen(TFormPos &form, const TWorkArea &workArea) {
    // In 64 bits: positions read from the settings may lie anywhere in the int32 range.
    const int64_t areaWidth = int64_t(workArea.Right) - workArea.Left;
    const int64_t areaHeight = int64_t(workArea.Bottom) - workArea.Top;
    int64_t left = form.Left, top = form.Top, width = form.Width, height = form.Height;
    if (areaWidth < width)
        width = areaWidth;
    if (areaHeight < height)
        height = areaHeight;
    if (left + width > workArea.Right)
        left = workArea.Right - width;
    if (top + height > workArea.Bottom)
        top = workArea.Bottom - height;
    if (left < workArea.Left)
        left = workArea.Left;
    if (top < workArea.Top)
        top = workArea.Top;
    form.Left = Clamp32(left);
    form.Top = Clamp32(top);
    form.Width = Clamp32(width);
    form.Height = Clamp32(height);
}
