#include "device_link/SettingsStore.h"

#include "device_link/AsciiText.h"
#include "device_link/WholeFileWrite.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <stdexcept>
#include <utility>

namespace {

const QChar KeySeparator = u'\\';

// Where a registry key is kept on this platform, and the group inside that file.
std::pair<QString, QString> RegistryKeyFile(const QString& Path, const QString& SectionName) {
    const qsizetype split = Path.indexOf(KeySeparator);
    if (split < 0) throw std::runtime_error("registry path without a key: " + Path.toStdString());
    const bool machine = SameAsciiText(Path.left(split), QStringLiteral("HKEY_LOCAL_MACHINE"));
    QString key = Path.mid(split + 1);
    if (!key.endsWith(KeySeparator)) key += KeySeparator;
    QStringList parts = (key + SectionName).split(KeySeparator, Qt::SkipEmptyParts);
    if (!parts.isEmpty() && SameAsciiText(parts.first(), QStringLiteral("Software"))) parts.removeFirst();
    const QString company = parts.value(0);
    const QString application = parts.value(1);
    const QSettings native(QSettings::NativeFormat, machine ? QSettings::SystemScope : QSettings::UserScope, company,
                           application);
    return {native.fileName(), parts.mid(2).join(u'/')};
}

// A missing file reads as empty; one that exists but cannot be read is no store to write over.
QByteArray ContentsOf(const QString& FileName) {
    QFile file(FileName);
    if (file.open(QIODevice::ReadOnly)) return file.readAll();
    if (!file.exists()) return {};
    throw std::runtime_error("settings store " + FileName.toStdString() + " cannot be read: " +
                             file.errorString().toStdString());
}

} // namespace

// Qt's settings work on a copy in a folder of their own: written in place, a full disk could
// leave the store's file empty while reporting success. The copy goes back whole.
TSettingsStore::TSettingsStore(TStoreType StoreType, const QString& Path, const QString& SectionName)
    : FStoreType(StoreType) {
    const auto [fileName, group] = StoreType == stRegistry ? RegistryKeyFile(Path, SectionName)
                                                            : std::pair{Path, SectionName};
    FFileName = fileName;
    FOriginal = ContentsOf(FFileName);
    if (!FScratch.isValid()) throw std::runtime_error("no folder for the settings of " + FFileName.toStdString());
    const QString copy = FScratch.filePath(QStringLiteral("store.conf"));
    if (!WriteWholeFile(copy, FOriginal).isEmpty())
        throw std::runtime_error("no copy can be made of the settings of " + FFileName.toStdString());
    FSettings = std::make_unique<QSettings>(copy, QSettings::IniFormat);
    if (!group.isEmpty()) FSettings->beginGroup(group);
    ThrowOnStoreError();
}

TSettingsStore::~TSettingsStore() = default;

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
    const QByteArray contents = ContentsOf(FSettings->fileName());
    if (contents == FOriginal) return;
    QDir().mkpath(QFileInfo(FFileName).absolutePath());
    const QString failure = WriteWholeFile(FFileName, contents);
    if (!failure.isEmpty())
        throw std::runtime_error("settings store " + FFileName.toStdString() + " cannot be written: " +
                                 failure.toStdString());
    FOriginal = contents;
}

void TSettingsStore::ThrowOnStoreError() const {
    if (FSettings->status() != QSettings::NoError)
        throw std::runtime_error("settings store " + FFileName.toStdString() + " cannot be used");
}
