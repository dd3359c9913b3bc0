// Settings files from outside bytes (left by a user's editor, another version or a broken disk): every
// reader gives a value or its default, restoring a window position leaves it inside the work area, and a
// recent-list update writes a well-formed list back.
#include "engine/Reg_Shell.h"
#include "platform/settings/SettingsStore.h"

#include <QString>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// A fresh folder per input: the store would otherwise serve a file of the same name and time from memory.
std::filesystem::path InputFolder() {
    static const std::filesystem::path base =
        std::filesystem::temp_directory_path() / ("streetplan-fuzz-settings-" + std::to_string(getpid()));
    static uint64_t counter = 0;
    return base / std::to_string(counter++);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::filesystem::path folder = InputFolder();
    std::filesystem::create_directories(folder);
    SetSettingsDir(QString::fromStdString(folder.string()));
    FreeAppRegistry();
    {
        // The input is the body of the application's section, whatever the executable is called.
        std::ofstream out(folder / (AppRegKeyName().Bytes() + ".ini"), std::ios::binary);
        out << "[" << AppRegKeyName().Bytes() << "]\n";
        out.write(reinterpret_cast<const char *>(data), static_cast<std::streamsize>(size));
    }
    const Cp1251String sections[] = {Cp1251String("S"), Cp1251String("Main"), Cp1251String("S\\T")};
    const Cp1251String names[] = {Cp1251String("a"), Cp1251String("b"), Cp1251String("Items")};
    for (const Cp1251String &s : sections) {
        for (const Cp1251String &n : names) {
            (void)RegReadString(s, n);
            (void)RegReadInteger(s, n);
            (void)RegReadBool(s, n, true);
            std::vector<Cp1251String> list;
            RegReadStrings(s, n, list);
        }
    }
    const TWorkArea area{0, 0, 1280, 1024};
    TFormPos form{Cp1251String("F"), 10, 10, 300, 200, true};
    RestoreFormPos(form, area);
    if (form.Left < area.Left || form.Top < area.Top || form.Width < 0 || form.Height < 0 ||
        int64_t(form.Left) + form.Width > area.Right || int64_t(form.Top) + form.Height > area.Bottom)
        __builtin_trap();
    try {
        RegAddMruString(Cp1251String("S"), Cp1251String("Items"), Cp1251String("new"), 5);
        std::vector<Cp1251String> list;
        RegReadStrings(Cp1251String("S"), Cp1251String("Items"), list);
        if (list.empty() || list.size() > 5 || list.front() != Cp1251String("new"))
            __builtin_trap();
    } catch (const ESettingsError &) {
    }
    FreeAppRegistry();
    SetSettingsDir(QString());
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    std::filesystem::remove(folder.parent_path(), ec); // the per-process folder, once empty
    return 0;
}
