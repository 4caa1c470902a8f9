#pragma once

#include "device_link/AsciiText.h"

#include <QString>
#include <QStringList>

#include <cstdint>

// The texts in which port settings are stored and offered for choice. Each list follows the
// order of its enumeration, so a value's ordinal is its index in the list.
const QStringList& BaudRateTexts();
const QStringList& StopBitsTexts();
const QStringList& DataBitsTexts();
const QStringList& ParityTexts();
const QStringList& FlowControlTexts();
const QStringList& RTSControlTexts();
const QStringList& DTRControlTexts();

template <typename E> QString TextOfValue(E value, const QStringList& texts) {
    return texts.value(static_cast<qsizetype>(value));
}

// The value whose text matches, ignoring the case of a to z; `fallback` when none does.
template <typename E> E ValueOfText(const QString& text, const QStringList& texts, E fallback) {
    for (qsizetype i = 0; i < texts.size(); ++i)
        if (SameAsciiText(text, texts[i])) return static_cast<E>(i);
    return fallback;
}

QString YesNoText(bool value);
bool IsYesText(const QString& text);

// A byte from 33 to 127 as itself, any other as "#" and its decimal value (#0, #17, #200).
QString CharacterText(std::uint8_t value);
// Empty gives 0; "#" and a number gives that number (0 when it is not a byte); anything else
// gives its first character, so a lone "#" is 35.
std::uint8_t CharacterOfText(const QString& text);
