#include "terminal/ToolbarLayoutStore.h"

#include "device_link/SettingsStore.h"

#include <exception>
#include <functional>

namespace {

constexpr std::int32_t LayoutRevision = 2000;
const QString WindowStateKey = QStringLiteral("TerminalMainForm");
const QString WindowStateValue = QStringLiteral("ToolbarState");
const QString WindowGeometryValue = QStringLiteral("Geometry");

QByteArray LoadWindowValue(const QString& key, const QString& value) {
    try {
        const TSettingsStore store(stRegistry, key, WindowStateKey);
        return QByteArray::fromBase64(store.ReadText(value, QString()).toLatin1());
    } catch (const std::exception&) {
        return {};
    }
}

std::string Stored(const QString& key, const QString& section, const std::function<void(TSettingsStore&)>& write) {
    try {
        TSettingsStore store(stRegistry, key, section);
        write(store);
        store.Flush();
        return {};
    } catch (const std::exception& error) {
        return "Failed to store the layout of " + section.toStdString() + ": " + error.what();
    }
}

} // namespace

TToolbarLayoutStore::TToolbarLayoutStore(QString Key) : FKey(std::move(Key)) {}

QByteArray TToolbarLayoutStore::LoadWindowState() const { return LoadWindowValue(FKey, WindowStateValue); }

QByteArray TToolbarLayoutStore::LoadWindowGeometry() const { return LoadWindowValue(FKey, WindowGeometryValue); }

std::string TToolbarLayoutStore::Save(const QString& Toolbar, const TToolbarLayout& Layout) const {
    return Stored(FKey, Toolbar, [&](TSettingsStore& store) {
        store.WriteInteger(QStringLiteral("Rev"), LayoutRevision);
        store.WriteInteger(QStringLiteral("Visible"), Layout.Visible ? 1 : 0);
        store.WriteInteger(QStringLiteral("DockRow"), Layout.DockRow);
        store.WriteInteger(QStringLiteral("DockPos"), Layout.DockPos);
        store.WriteInteger(QStringLiteral("FloatLeft"), Layout.FloatLeft);
        store.WriteInteger(QStringLiteral("FloatTop"), Layout.FloatTop);
        store.WriteText(QStringLiteral("DockedTo"), Layout.DockedTo);
        store.WriteText(QStringLiteral("LastDock"), Layout.LastDock);
    });
}

std::string TToolbarLayoutStore::SaveWindowState(const QByteArray& State, const QByteArray& Geometry) const {
    return Stored(FKey, WindowStateKey, [&](TSettingsStore& store) {
        store.WriteText(WindowStateValue, QString::fromLatin1(State.toBase64()));
        store.WriteText(WindowGeometryValue, QString::fromLatin1(Geometry.toBase64()));
    });
}
