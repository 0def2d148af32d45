#include "engine/detail/ManifestOrder.h"

#include <unicode/normalizer2.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <utility>

namespace dromel::detail {

namespace {

bool validUtf8(const std::string &text) {
    const auto *bytes = reinterpret_cast<const std::uint8_t *>(text.data());
    const auto length = static_cast<std::int32_t>(text.size());
    for (std::int32_t i = 0; i < length;) {
        UChar32 c = 0;
        U8_NEXT(bytes, i, length, c);
        if (c < 0)
            return false;
    }
    return true;
}

std::string nfcForm(const std::string &name) {
    if (!validUtf8(name))
        return name;
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2 *nfc = icu::Normalizer2::getNFCInstance(status);
    if (U_FAILURE(status))
        return name;
    const icu::UnicodeString normalized = nfc->normalize(icu::UnicodeString::fromUTF8(name), status);
    if (U_FAILURE(status))
        return name;
    std::string result;
    normalized.toUTF8String(result);
    return result;
}

} // namespace

void sortForManifest(std::vector<std::string> &names) {
    std::vector<std::pair<std::string, std::string>> keyed;
    keyed.reserve(names.size());
    for (std::string &name : names)
        keyed.emplace_back(nfcForm(name), std::move(name));
    std::sort(keyed.begin(), keyed.end());
    for (std::size_t i = 0; i < keyed.size(); ++i)
        names[i] = std::move(keyed[i].second);
}

} // namespace dromel::detail
