// The alphabet of a language for the device's sort: the host's collation of that language (Qt's
// QCollator, over ICU) ranks the device code page's characters once, at start-up; every sort afterwards
// reads the ranks by byte (text.cpp).
#include "platform/text.h"

#include <QCollator>
#include <QLocale>
#include <QString>

#include <algorithm>
#include <array>
#include <cstring>

int UseLanguageAlphabet(const char* language) {
    // Without a language the code page's own order holds again (a program started anew in the same
    // process, as the tests do, must not keep the last one's alphabet).
    constexpr unsigned char none[256] = {};
    QLocale locale(QString::fromLatin1(language ? language : ""));
    if (!language || !*language || locale.language() == QLocale::C) {
        SetDeviceSortRanks(0, none);
        return -1;
    }
    QCollator collator(locale);
    collator.setCaseSensitivity(Qt::CaseInsensitive);

    // One character at a time, as the list compares texts: a letter the language treats as a variant of
    // another (Ё of Е in Russian) still has a place of its own, right after it.
    std::array<QString, 256> characters;
    std::array<int, 255> order;
    for (int byte = 1; byte < 256; byte++) {
        characters[size_t(byte)] = QString(QChar(WideFromDeviceByte(static_cast<unsigned char>(byte))));
        order[size_t(byte - 1)] = byte;
    }
    std::stable_sort(order.begin(), order.end(), [&](int left, int right) {
        return collator.compare(characters[size_t(left)], characters[size_t(right)]) < 0;
    });
    // Byte 0 ends a text and sorts before all; characters the collation finds equal (a letter in either
    // case, the code page's stand-in '?' for a byte without one) share a rank.
    unsigned char ranks[256] = {};
    int rank = 1;
    for (size_t index = 0; index < order.size(); index++) {
        if (index > 0 && collator.compare(characters[size_t(order[index - 1])],
                                          characters[size_t(order[index])]) != 0)
            rank++;
        ranks[order[index]] = static_cast<unsigned char>(rank);
    }
    SetDeviceSortRanks(DeviceCodePage(), ranks);
    return 0;
}
