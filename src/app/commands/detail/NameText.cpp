#include "commands/detail/NameText.h"

#include <QByteArray>

namespace dromel::NameText {

namespace {

constexpr char16_t kReplacement = u'\uFFFD';

// The length of the valid UTF-8 sequence at `at` and its code point, or 0.
std::size_t validSequence(std::string_view bytes, std::size_t at, char32_t &point) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(at);
    std::size_t length = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
        point = lead;
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2, point = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, point = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, point = lead & 0x07, minimum = 0x10000;
    } else {
        return 0;
    }
    if (at + length > bytes.size())
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80)
            return 0;
        point = (point << 6) | (byte(at + i) & 0x3F);
    }
    if (point < minimum || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF))
        return 0;
    return length;
}

} // namespace

Shown show(std::string_view bytes) {
    Shown shown;
    std::size_t at = 0;
    while (at < bytes.size()) {
        char32_t point = 0;
        std::size_t length = validSequence(bytes, at, point);
        if (length == 0) {
            length = 1;
            point = kReplacement;
        }
        const std::pair span{at, at + length};
        if (point > 0xFFFF) {
            const char32_t units[] = {point};
            shown.text += QString::fromUcs4(units, 1);
            shown.spans.push_back(span);
        } else {
            shown.text += QChar(char16_t(point));
        }
        shown.spans.push_back(span);
        at += length;
    }
    return shown;
}

std::optional<std::string> edited(std::string_view original, const QString &typed) {
    const Shown shown = show(original);
    const QString &before = shown.text;
    if (typed == before)
        return std::string(original);
    qsizetype prefix = 0;
    const qsizetype shorter = std::min(before.size(), typed.size());
    while (prefix < shorter && before[prefix] == typed[prefix])
        ++prefix;
    if (prefix > 0 && before[prefix - 1].isHighSurrogate())
        --prefix; // never split a pair
    qsizetype suffix = 0;
    while (suffix < shorter - prefix &&
           before[before.size() - 1 - suffix] == typed[typed.size() - 1 - suffix])
        ++suffix;
    if (suffix > 0 && before[before.size() - suffix].isLowSurrogate())
        --suffix;

    const QString middle = typed.mid(prefix, typed.size() - prefix - suffix);
    if (middle.contains(QChar(kReplacement)))
        return std::nullopt;
    const std::size_t head = prefix > 0 ? shown.spans[size_t(prefix - 1)].second : 0;
    const std::size_t tail = suffix > 0 ? shown.spans[size_t(before.size() - suffix)].first : original.size();
    const QByteArray inserted = middle.toUtf8();
    std::string result(original.substr(0, head));
    result.append(inserted.constData(), size_t(inserted.size()));
    result.append(original.substr(tail));
    return result;
}

} // namespace dromel::NameText
