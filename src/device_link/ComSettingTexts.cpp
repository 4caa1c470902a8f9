#include "device_link/ComSettingTexts.h"

namespace {

QStringList TextsOf(std::initializer_list<const char*> texts) {
    QStringList list;
    for (const char* text : texts) list.append(QString::fromLatin1(text));
    return list;
}

constexpr std::uint8_t FirstPlainCharacter = 33;
constexpr std::uint8_t LastPlainCharacter = 127;
constexpr QChar NumberMark = u'#';

} // namespace

const QStringList& BaudRateTexts() {
    static const QStringList texts = TextsOf({"Custom", "110", "300", "600", "1200", "2400", "4800", "9600", "14400",
                                              "19200", "38400", "56000", "57600", "115200", "128000", "256000"});
    return texts;
}

const QStringList& StopBitsTexts() {
    static const QStringList texts = TextsOf({"1", "1.5", "2"});
    return texts;
}

const QStringList& DataBitsTexts() {
    static const QStringList texts = TextsOf({"5", "6", "7", "8"});
    return texts;
}

const QStringList& ParityTexts() {
    static const QStringList texts = TextsOf({"None", "Odd", "Even", "Mark", "Space"});
    return texts;
}

const QStringList& FlowControlTexts() {
    static const QStringList texts = TextsOf({"Hardware", "Software", "None", "Custom"});
    return texts;
}

const QStringList& RTSControlTexts() {
    static const QStringList texts = TextsOf({"Disable", "Enable", "Handshake", "Toggle"});
    return texts;
}

const QStringList& DTRControlTexts() {
    static const QStringList texts = TextsOf({"Disable", "Enable", "Handshake"});
    return texts;
}

QString YesNoText(bool value) { return value ? QStringLiteral("Yes") : QStringLiteral("No"); }

bool IsYesText(const QString& text) { return SameAsciiText(text, u"YES"); }

QString CharacterText(std::uint8_t value) {
    if (value >= FirstPlainCharacter && value <= LastPlainCharacter) return QChar(value);
    return NumberMark + QString::number(value);
}

std::uint8_t CharacterOfText(const QString& text) {
    if (text.isEmpty()) return 0;
    if (text.size() >= 2 && text.front() == NumberMark) {
        bool isNumber = false;
        const uint value = text.mid(1).toUInt(&isNumber);
        return isNumber && value <= 0xFF ? static_cast<std::uint8_t>(value) : 0;
    }
    return static_cast<std::uint8_t>(text.front().unicode() & 0xFF);
}
