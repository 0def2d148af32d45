#include "core/detail/BrowseCollation.h"

#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/ucol.h>
#include <unicode/unistr.h>
#include <unicode/ustring.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace dromel::detail {

namespace {

constexpr UChar32 kInvalidByteBase = 0xF700;

// Decodes UTF-8, mapping each invalid byte to U+F700 + byte.
icu::UnicodeString decode(std::string_view text) {
    icu::UnicodeString result;
    const auto *bytes = reinterpret_cast<const std::uint8_t *>(text.data());
    const auto length = static_cast<std::int32_t>(text.size());
    std::int32_t i = 0;
    while (i < length) {
        const std::int32_t start = i;
        UChar32 c = 0;
        U8_NEXT(bytes, i, length, c);
        if (c < 0) {
            result.append(static_cast<UChar32>(kInvalidByteBase + bytes[start]));
            i = start + 1;
        } else {
            result.append(c);
        }
    }
    return result;
}

// Locale names get small ids so that an entry can record which collation its
// cached key belongs to.
std::uint32_t collationIdFor(const std::string &locale) {
    static std::mutex mutex;
    static std::unordered_map<std::string, std::uint32_t> ids;
    std::lock_guard lock(mutex);
    return ids.try_emplace(locale, static_cast<std::uint32_t>(ids.size() + 1)).first->second;
}

struct Collator {
    std::string locale;
    std::uint32_t id = 0;
    UCollator *collator = nullptr;
    ~Collator() {
        if (collator)
            ucol_close(collator);
    }
};

// One collator per thread keeps apply() free of shared mutable state; it is
// reopened when the locale environment changes.
thread_local Collator t_collator;

UCollator *threadCollator(bool recheckLocale = true) {
    Collator &cached = t_collator;
    if (cached.collator && !recheckLocale)
        return cached.collator;
    const std::string locale = collationLocale();
    if (!cached.collator || cached.locale != locale) {
        if (cached.collator)
            ucol_close(cached.collator);
        UErrorCode status = U_ZERO_ERROR;
        cached.collator = ucol_open(locale.c_str(), &status);
        if (U_FAILURE(status) || !cached.collator) {
            status = U_ZERO_ERROR;
            cached.collator = ucol_open("", &status);
        }
        ucol_setAttribute(cached.collator, UCOL_STRENGTH, UCOL_SECONDARY, &status);
        ucol_setAttribute(cached.collator, UCOL_NUMERIC_COLLATION, UCOL_ON, &status);
        cached.locale = locale;
        cached.id = collationIdFor(locale);
    }
    return cached.collator;
}

} // namespace

bool isAscii(std::string_view text) {
    for (unsigned char c : text)
        if (c >= 0x80)
            return false;
    return true;
}

std::string foldForFilter(std::string_view text) {
    if (isAscii(text)) {
        std::string lower(text);
        for (char &c : lower)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        return lower;
    }
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2 *nfd = icu::Normalizer2::getNFDInstance(status);
    const icu::Normalizer2 *nfc = icu::Normalizer2::getNFCInstance(status);
    icu::UnicodeString decomposed = nfd->normalize(decode(text), status);
    icu::UnicodeString stripped;
    for (std::int32_t i = 0; i < decomposed.length();) {
        const UChar32 c = decomposed.char32At(i);
        if (u_charType(c) != U_NON_SPACING_MARK)
            stripped.append(c);
        i += U16_LENGTH(c);
    }
    stripped.foldCase();
    icu::UnicodeString composed = nfc->normalize(stripped, status);
    std::string result;
    if (U_FAILURE(status))
        return std::string(text);
    composed.toUTF8String(result);
    return result;
}

bool containsFolded(std::string_view name, const std::string *foldedName, std::string_view foldedFilter) {
    if (foldedFilter.empty())
        return true;
    if (foldedName)
        return std::string_view(*foldedName).find(foldedFilter) != std::string_view::npos;
    if (foldedFilter.size() > name.size())
        return false;
    const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    const std::size_t last = name.size() - foldedFilter.size();
    for (std::size_t start = 0; start <= last; ++start) {
        std::size_t k = 0;
        while (k < foldedFilter.size() && lower(name[start + k]) == foldedFilter[k])
            ++k;
        if (k == foldedFilter.size())
            return true;
    }
    return false;
}

std::uint32_t refreshCollation() {
    threadCollator(true);
    return t_collator.id;
}

std::uint32_t currentCollation() {
    threadCollator(false);
    return t_collator.id;
}

static std::uint64_t prefixWord(const char *key) {
    std::uint64_t prefix = 0;
    for (int i = 0; i < 8; ++i) {
        const auto byte = static_cast<unsigned char>(key[i]);
        prefix = (prefix << 8) | byte;
        if (byte == 0) {
            prefix <<= 8 * (7 - i);
            break;
        }
    }
    return prefix;
}

KeyPrefix keyPrefix(const char *key) {
    KeyPrefix prefix;
    prefix.first = prefixWord(key);
    if (prefix.first & 0xFF)
        prefix.second = prefixWord(key + 8);
    return prefix;
}

std::string sortKey(std::string_view text) {
    // Listing a large folder makes one key per item: the scratch space is
    // kept so that each key costs one allocation, its own.
    thread_local std::vector<char> scratch;
    scratch.clear();
    appendSortKey(text, scratch);
    return std::string(scratch.data(), scratch.size() - 1);
}

void appendSortKey(std::string_view text, std::vector<char> &arena) {
    UCollator *collator = threadCollator(false);
    UChar stackBuffer[512];
    std::unique_ptr<UChar[]> heapBuffer;
    const UChar *units = stackBuffer;
    std::int32_t unitCount = 0;
    if (text.size() <= 256) {
        // At most one UTF-16 unit per input byte.
        const auto *bytes = reinterpret_cast<const std::uint8_t *>(text.data());
        const auto length = static_cast<std::int32_t>(text.size());
        for (std::int32_t i = 0; i < length;) {
            if (bytes[i] < 0x80) {
                stackBuffer[unitCount++] = bytes[i++];
                continue;
            }
            const std::int32_t start = i;
            UChar32 c = 0;
            U8_NEXT(bytes, i, length, c);
            if (c < 0) {
                c = kInvalidByteBase + bytes[start];
                i = start + 1;
            }
            U16_APPEND_UNSAFE(stackBuffer, unitCount, c);
        }
    } else {
        const icu::UnicodeString decoded = decode(text);
        unitCount = decoded.length();
        heapBuffer = std::make_unique<UChar[]>(static_cast<std::size_t>(unitCount) + 1);
        UErrorCode status = U_ZERO_ERROR;
        decoded.extract(heapBuffer.get(), unitCount + 1, status);
        units = heapBuffer.get();
    }
    std::uint8_t key[512];
    std::int32_t needed = ucol_getSortKey(collator, units, unitCount, key, sizeof key);
    if (needed <= static_cast<std::int32_t>(sizeof key)) {
        arena.insert(arena.end(), key, key + needed);
    } else {
        std::vector<std::uint8_t> large(static_cast<std::size_t>(needed));
        needed = ucol_getSortKey(collator, units, unitCount, large.data(), needed);
        arena.insert(arena.end(), large.begin(), large.begin() + needed);
    }
    if (needed == 0)
        arena.push_back('\0');
}

int compareNames(std::string_view a, std::string_view b) {
    const icu::UnicodeString left = decode(a);
    const icu::UnicodeString right = decode(b);
    const UCollationResult result =
        ucol_strcoll(threadCollator(), left.getBuffer(), left.length(), right.getBuffer(), right.length());
    return result == UCOL_LESS ? -1 : (result == UCOL_GREATER ? 1 : 0);
}

std::string collationLocale() {
    const char *value = nullptr;
    for (const char *name : {"LC_ALL", "LC_COLLATE", "LANG"}) {
        const char *candidate = std::getenv(name);
        if (candidate && *candidate) {
            value = candidate;
            break;
        }
    }
    if (!value)
        return "";
    std::string locale(value);
    locale = locale.substr(0, locale.find_first_of(".@"));
    if (locale == "C" || locale == "POSIX")
        return "";
    return locale;
}

} // namespace dromel::detail
