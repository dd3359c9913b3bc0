#include "platform/settings/SettingsStore.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>

#include <cstdlib>

namespace {

QString &SettingsDirOverride() {
    static QString dir;
    return dir;
}

// One key part or value name as a QSettings key part: "/" and "\" would split it, so they are escaped, and
// "%" too so that the escapes cannot be confused with names that hold them. An empty name becomes a lone
// "%", which no escaped name can be.
QString EscapePart(const QString &part) {
    if (part.isEmpty())
        return QStringLiteral("%");
    QString out;
    out.reserve(part.size());
    for (QChar c : part) {
        if (c == u'%')
            out += QStringLiteral("%25");
        else if (c == u'/')
            out += QStringLiteral("%2F");
        else if (c == u'\\')
            out += QStringLiteral("%5C");
        else
            out += c;
    }
    return out;
}

QString UnescapePart(const QString &part) {
    if (part == QStringLiteral("%"))
        return QString();
    QString out;
    out.reserve(part.size());
    for (qsizetype i = 0; i < part.size(); ++i) {
        if (part[i] == u'%' && i + 2 < part.size()) {
            const QStringView code = QStringView(part).mid(i + 1, 2);
            if (code == u"25" || code == u"2F" || code == u"5C") {
                out += code == u"25" ? u'%' : code == u"2F" ? u'/' : u'\\';
                i += 2;
                continue;
            }
        }
        out += part[i];
    }
    return out;
}

std::string Std(const QString &s) {
    return s.toStdString();
}

} // namespace

QString ExecutableBaseName() {
    QString path;
    if (QCoreApplication::instance())
        path = QCoreApplication::applicationFilePath();
    if (path.isEmpty())
        path = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
    const QString name = QFileInfo(path).completeBaseName();
    return name.isEmpty() ? QStringLiteral("StreetPlan") : name;
}

void SetSettingsDir(const QString &dir) {
    SettingsDirOverride() = dir;
}

QString SettingsDir() {
    if (!SettingsDirOverride().isEmpty())
        return SettingsDirOverride();
    if (const char *env = std::getenv("STREETPLAN_SETTINGS_DIR"); env && *env)
        return QString::fromLocal8Bit(env);
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/StreetPlan");
}

QString DefaultSettingsFile() {
    return SettingsDir() + u'/' + ExecutableBaseName() + QStringLiteral(".ini");
}

TSettingsStore::TSettingsStore(const QString &fileName)
    : settings_(std::make_unique<QSettings>(fileName, QSettings::IniFormat)) {}

TSettingsStore::~TSettingsStore() = default;

QString TSettingsStore::FileName() const {
    return settings_->fileName();
}

QString TSettingsStore::Resolve(const QString &key) const {
    QString path = key.startsWith(u'\\') ? QString() : current_;
    for (const QString &part : key.split(u'\\', Qt::SkipEmptyParts)) {
        if (!path.isEmpty())
            path += u'/';
        path += EscapePart(part);
    }
    return path;
}

bool TSettingsStore::OpenKey(const QString &key, bool canCreate) {
    const QString path = Resolve(key);
    if (!canCreate && !path.isEmpty()) {
        settings_->beginGroup(path);
        const bool exists = !settings_->childKeys().isEmpty() || !settings_->childGroups().isEmpty();
        settings_->endGroup();
        if (!exists)
            return false;
    }
    current_ = path;
    open_ = true;
    return true;
}

void TSettingsStore::CloseKey() {
    current_.clear();
    open_ = false;
}

bool TSettingsStore::KeyExists(const QString &key) const {
    const QString path = Resolve(key);
    if (path.isEmpty())
        return true;
    settings_->beginGroup(path);
    const bool exists = !settings_->childKeys().isEmpty() || !settings_->childGroups().isEmpty();
    settings_->endGroup();
    return exists;
}

QString TSettingsStore::ValueKey(const QString &name, const char *where) const {
    if (!open_)
        throw ESettingsError(std::string("TSettingsStore.") + where + ": no key is open");
    return current_.isEmpty() ? EscapePart(name) : current_ + u'/' + EscapePart(name);
}

bool TSettingsStore::ValueExists(const QString &name) const {
    return open_ && settings_->contains(ValueKey(name, "ValueExists"));
}

QStringList TSettingsStore::ValueNames() const {
    QStringList names;
    if (!open_)
        return names;
    if (!current_.isEmpty())
        settings_->beginGroup(current_);
    for (const QString &key : settings_->childKeys())
        names += UnescapePart(key);
    if (!current_.isEmpty())
        settings_->endGroup();
    names.sort();
    return names;
}

QString TSettingsStore::ReadString(const QString &name) const {
    const QVariant v = settings_->value(ValueKey(name, "ReadString"));
    if (!v.isValid())
        throw ESettingsError("TSettingsStore.ReadString: value \"" + Std(name) + "\" not found");
    if (v.typeId() != QMetaType::QString)
        throw ESettingsError("TSettingsStore.ReadString: value \"" + Std(name) + "\" is not text");
    return v.toString();
}

int32_t TSettingsStore::ReadInteger(const QString &name) const {
    const QVariant v = settings_->value(ValueKey(name, "ReadInteger"));
    if (!v.isValid())
        throw ESettingsError("TSettingsStore.ReadInteger: value \"" + Std(name) + "\" not found");
    bool ok = false;
    const int i = v.typeId() == QMetaType::QString ? v.toString().trimmed().toInt(&ok, 10) : 0;
    if (!ok)
        throw ESettingsError("TSettingsStore.ReadInteger: value \"" + Std(name) + "\" is not an integer");
    return i;
}

bool TSettingsStore::ReadBool(const QString &name) const {
    return ReadInteger(name) != 0;
}

QByteArray TSettingsStore::ReadBinaryData(const QString &name) const {
    const QVariant v = settings_->value(ValueKey(name, "ReadBinaryData"));
    if (!v.isValid())
        throw ESettingsError("TSettingsStore.ReadBinaryData: value \"" + Std(name) + "\" not found");
    if (v.typeId() != QMetaType::QByteArray)
        throw ESettingsError("TSettingsStore.ReadBinaryData: value \"" + Std(name) + "\" is not binary data");
    return v.toByteArray();
}

void TSettingsStore::Flush(const char *where) {
    settings_->sync();
    if (settings_->status() == QSettings::AccessError)
        throw ESettingsError(std::string("TSettingsStore.") + where + ": cannot write " + Std(FileName()));
}

void TSettingsStore::WriteString(const QString &name, const QString &value) {
    settings_->setValue(ValueKey(name, "WriteString"), value);
    Flush("WriteString");
}

void TSettingsStore::WriteInteger(const QString &name, int32_t value) {
    settings_->setValue(ValueKey(name, "WriteInteger"), QString::number(value));
    Flush("WriteInteger");
}

void TSettingsStore::WriteBool(const QString &name, bool value) {
    WriteInteger(name, value ? 1 : 0);
}

void TSettingsStore::WriteBinaryData(const QString &name, const QByteArray &value) {
    settings_->setValue(ValueKey(name, "WriteBinaryData"), value);
    Flush("WriteBinaryData");
}
