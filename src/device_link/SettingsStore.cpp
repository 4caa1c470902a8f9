#include "device_link/SettingsStore.h"

#include "device_link/AsciiText.h"

#include <stdexcept>

namespace {

const QChar KeySeparator = u'\\';

std::unique_ptr<QSettings> OpenRegistryKey(const QString& Path, const QString& SectionName) {
    const qsizetype split = Path.indexOf(KeySeparator);
    if (split < 0) throw std::runtime_error("registry path without a key: " + Path.toStdString());
    const bool machine = SameAsciiText(Path.left(split), QStringLiteral("HKEY_LOCAL_MACHINE"));
    QString key = Path.mid(split + 1);
    if (!key.endsWith(KeySeparator)) key += KeySeparator;
    QStringList parts = (key + SectionName).split(KeySeparator, Qt::SkipEmptyParts);
    if (!parts.isEmpty() && SameAsciiText(parts.first(), QStringLiteral("Software"))) parts.removeFirst();
    const QString company = parts.value(0);
    const QString application = parts.value(1);
    auto settings = std::make_unique<QSettings>(QSettings::NativeFormat,
                                                machine ? QSettings::SystemScope : QSettings::UserScope,
                                                company, application);
    // A key holds its own values only: what it lacks must read as missing, not as a value of the
    // organisation's file or of the system scope.
    settings->setFallbacksEnabled(false);
    const QString group = parts.mid(2).join(u'/');
    if (!group.isEmpty()) settings->beginGroup(group);
    return settings;
}

std::unique_ptr<QSettings> OpenIniSection(const QString& Path, const QString& SectionName) {
    auto settings = std::make_unique<QSettings>(Path, QSettings::IniFormat);
    if (!SectionName.isEmpty()) settings->beginGroup(SectionName);
    return settings;
}

} // namespace

TSettingsStore::TSettingsStore(TStoreType StoreType, const QString& Path, const QString& SectionName)
    : FStoreType(StoreType),
      FSettings(StoreType == stRegistry ? OpenRegistryKey(Path, SectionName) : OpenIniSection(Path, SectionName)) {
    ThrowOnStoreError();
}

void TSettingsStore::WriteText(const QString& Name, const QString& Value) { FSettings->setValue(Name, Value); }

void TSettingsStore::WriteInteger(const QString& Name, std::int32_t Value) { FSettings->setValue(Name, Value); }

QString TSettingsStore::ReadText(const QString& Name, const QString& Current) const {
    if (!FSettings->contains(Name)) return FStoreType == stRegistry ? QString() : Current;
    return FSettings->value(Name).toString();
}

std::int32_t TSettingsStore::ReadInteger(const QString& Name, std::int32_t Current) const {
    if (!FSettings->contains(Name)) {
        if (FStoreType == stIniFile) return Current;
        throw std::runtime_error("missing number value " + Name.toStdString());
    }
    bool isNumber = false;
    const int value = FSettings->value(Name).toString().toInt(&isNumber);
    if (!isNumber) throw std::runtime_error("value " + Name.toStdString() + " is not a number");
    return value;
}

void TSettingsStore::Flush() {
    FSettings->sync();
    ThrowOnStoreError();
}

void TSettingsStore::ThrowOnStoreError() const {
    if (FSettings->status() != QSettings::NoError)
        throw std::runtime_error("settings store " + FSettings->fileName().toStdString() + " cannot be used");
}
