#include "engine/detail/UndoVersion.h"

#include "core/OperationProblem.h"

#include <openssl/evp.h>

#include <memory>

namespace dromel::detail {

namespace {

std::string stampText(const ObjectStamp &stamp) {
    return stamp.token() + ":" + std::to_string(stamp.owner) + ":" + std::to_string(stamp.group) + ":" +
           std::to_string(stamp.born) + ":" + std::to_string(stamp.bornNanos);
}

} // namespace

std::string undoVersion(const ObjectStamp &root, const TreeManifest &records) {
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1)
        throw OperationProblem(OperationProblem::Code::system, "", "SHA-256 is unavailable");
    const auto add = [&context](const std::string &text) {
        // Each piece with its length, so no two lists read alike.
        const std::string sized = std::to_string(text.size()) + ":" + text;
        EVP_DigestUpdate(context.get(), sized.data(), sized.size());
    };
    add(stampText(root));
    for (std::size_t i = 1; i < records.size(); ++i) {
        add(records[i].relative);
        add(stampText(records[i].stamp));
        add(records[i].link.value_or(""));
    }
    unsigned char bytes[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(context.get(), bytes, &length);
    static constexpr char kHex[] = "0123456789abcdef";
    std::string text;
    for (unsigned int i = 0; i < length; ++i) {
        text.push_back(kHex[bytes[i] >> 4]);
        text.push_back(kHex[bytes[i] & 0xF]);
    }
    return text;
}

} // namespace dromel::detail
