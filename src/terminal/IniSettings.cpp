#include "terminal/IniSettings.h"

#include "terminal/ExecutableFolder.h"
#include "device_link/WholeFileWrite.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <optional>
#include <vector>

namespace {

const QByteArray SectionName = "General";

// The file as lines that each keep their own line break, so that what is not ours is written
// back byte for byte.
class TIniText {
public:
    explicit TIniText(const QByteArray& contents) {
        qsizetype at = 0;
        while (at < contents.size()) {
            const qsizetype feed = contents.indexOf('\n', at);
            const qsizetype end = feed < 0 ? contents.size() : feed + 1;
            FLines.push_back(contents.mid(at, end - at));
            at = end;
        }
        if (!FLines.empty() && FLines.front().endsWith('\n') && !FLines.front().endsWith("\r\n")) FLineEnd = "\n";
    }

    std::optional<QByteArray> Value(const QByteArray& key) const {
        const auto line = KeyLine(key);
        if (!line) return std::nullopt;
        const QByteArray& text = FLines[*line];
        return text.mid(text.indexOf('=') + 1).trimmed();
    }

    void SetValue(const QByteArray& key, const QByteArray& value) {
        const QByteArray line = key + '=' + value + FLineEnd;
        if (const auto at = KeyLine(key)) {
            FLines[*at] = line;
            return;
        }
        if (!SectionRange()) {
            EndLastLine();
            FLines.push_back('[' + SectionName + ']' + FLineEnd);
        }
        const qsizetype end = SectionRange()->second;
        if (end == static_cast<qsizetype>(FLines.size())) EndLastLine();
        FLines.insert(FLines.begin() + end, line);
    }

    QByteArray Contents() const {
        QByteArray contents;
        for (const QByteArray& line : FLines) contents += line;
        return contents;
    }

private:
    static bool IsSectionHeader(const QByteArray& trimmed) {
        return trimmed.startsWith('[') && trimmed.endsWith(']');
    }

    static bool IsOurSection(const QByteArray& trimmed) {
        return IsSectionHeader(trimmed) &&
               trimmed.mid(1, trimmed.size() - 2).trimmed().compare(SectionName, Qt::CaseInsensitive) == 0;
    }

    // First line after the "[General]" header and the line that ends the section.
    std::optional<std::pair<qsizetype, qsizetype>> SectionRange() const {
        const qsizetype count = static_cast<qsizetype>(FLines.size());
        for (qsizetype i = 0; i < count; ++i) {
            if (!IsOurSection(FLines[i].trimmed())) continue;
            qsizetype end = i + 1;
            while (end < count && !IsSectionHeader(FLines[end].trimmed())) ++end;
            return std::pair{i + 1, end};
        }
        return std::nullopt;
    }

    std::optional<qsizetype> KeyLine(const QByteArray& key) const {
        const auto range = SectionRange();
        if (!range) return std::nullopt;
        for (qsizetype i = range->first; i < range->second; ++i) {
            const QByteArray& line = FLines[i];
            const qsizetype equals = line.indexOf('=');
            if (equals > 0 && line.left(equals).trimmed().compare(key, Qt::CaseInsensitive) == 0) return i;
        }
        return std::nullopt;
    }

    void EndLastLine() {
        if (!FLines.empty() && !FLines.back().endsWith('\n')) FLines.back() += FLineEnd;
    }

    std::vector<QByteArray> FLines;
    QByteArray FLineEnd = "\r\n";
};

std::optional<qlonglong> IntegerOf(const TIniText& ini, const QByteArray& key) {
    const auto text = ini.Value(key);
    if (!text) return std::nullopt;
    bool isInteger = false;
    const qlonglong value = text->toLongLong(&isInteger);
    return isInteger ? std::optional(value) : std::nullopt;
}

void ReadBoolean(const TIniText& ini, const QByteArray& key, bool& value) {
    if (const auto read = IntegerOf(ini, key)) value = *read != 0;
}

void ReadInteger(const TIniText& ini, const QByteArray& key, std::int32_t& value, std::int32_t min,
                 std::int32_t max) {
    if (const auto read = IntegerOf(ini, key)) value = static_cast<std::int32_t>(std::clamp<qlonglong>(*read, min, max));
}

QByteArray BooleanText(bool value) { return value ? "1" : "0"; }

} // namespace

QString TIniSettings::DefaultFileName() { return BesideExecutable(QStringLiteral("settings.ini")); }

bool TIniSettings::Load(const QString& FileName) {
    QFile file(FileName);
    if (!file.open(QIODevice::ReadOnly)) return false;
    const TIniText ini(file.readAll());
    ReadBoolean(ini, "WriteMemo", WriteMemo);
    ReadBoolean(ini, "MantConsActive", MantConsActive);
    ReadBoolean(ini, "EnableConSurvey", EnableConSurvey);
    ReadBoolean(ini, "HrFilter2Active", HrFilter2Active);
    ReadInteger(ini, "IncrementStep", IncrementStep, MinIncrementStep, MaxIncrementStep);
    ReadInteger(ini, "IncrementInterval", IncrementInterval, MinIncrementInterval, MaxIncrementInterval);
    ReadBoolean(ini, "TimeStamps", TimeStamps);
    return true;
}

std::string TIniSettings::Save(const QString& FileName) const {
    QFile existing(FileName);
    const QByteArray old = existing.open(QIODevice::ReadOnly) ? existing.readAll() : QByteArray();
    TIniText ini(old);
    ini.SetValue("WriteMemo", BooleanText(WriteMemo));
    ini.SetValue("MantConsActive", BooleanText(MantConsActive));
    ini.SetValue("EnableConSurvey", BooleanText(EnableConSurvey));
    ini.SetValue("HrFilter2Active", BooleanText(HrFilter2Active));
    ini.SetValue("IncrementStep", QByteArray::number(IncrementStep));
    ini.SetValue("IncrementInterval", QByteArray::number(IncrementInterval));
    if (TimeStamps || ini.Value("TimeStamps")) ini.SetValue("TimeStamps", BooleanText(TimeStamps));
    const QString failure = WriteWholeFile(FileName, ini.Contents());
    if (failure.isEmpty()) return {};
    return QStringLiteral("Cannot write the settings file %1: %2")
        .arg(QDir::toNativeSeparators(FileName), failure)
        .toStdString();
}
