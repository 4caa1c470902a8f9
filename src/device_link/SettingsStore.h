#pragma once

#include <QSettings>
#include <QString>
#include <QTemporaryDir>

#include <cstdint>
#include <memory>

enum TStoreType { stRegistry, stIniFile };

// One place where port settings are kept: a registry key or a section of an INI file. On this
// platform the registry is the user's (or the system's) native settings store. Failures throw
// std::runtime_error; the settings operations turn them into their own error codes.
class TSettingsStore {
public:
    // Registry kind: Path is "<root>\<key>"; the root "HKEY_LOCAL_MACHINE" selects the system
    // store, anything else the user's. The key "Software\<Company>\<Application>\<Sub\Keys>"
    // is the store of that company and application, in the group of the sub keys followed by
    // SectionName. INI kind: Path is the file, SectionName the section.
    TSettingsStore(TStoreType StoreType, const QString& Path, const QString& SectionName);
    ~TSettingsStore();

    void WriteText(const QString& Name, const QString& Value);
    void WriteInteger(const QString& Name, std::int32_t Value);

    // A missing value reads as empty in the registry, as `Current` in an INI file.
    QString ReadText(const QString& Name, const QString& Current) const;
    // A missing value fails in the registry, reads as `Current` in an INI file.
    std::int32_t ReadInteger(const QString& Name, std::int32_t Current) const;

    // Makes what was written permanent, the store's file replaced whole or not at all; throws,
    // saying why in the system's words, when the store refused it.
    void Flush();

private:
    void ThrowOnStoreError() const;

    TStoreType FStoreType;
    QString FFileName;
    QByteArray FOriginal;
    QTemporaryDir FScratch;
    std::unique_ptr<QSettings> FSettings;
};
