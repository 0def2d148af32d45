#include "core/SearchHit.h"

namespace dromel {

namespace {

constexpr std::size_t kMergedPart = 4096;

} // namespace

const std::string *SearchDetails::matchLine(const std::string &id) const {
    for (auto part = matchLineParts.rbegin(); part != matchLineParts.rend(); ++part)
        if (const auto found = (*part)->find(id); found != (*part)->end())
            return &found->second;
    return nullptr;
}

void SearchDetails::addMatchLines(MatchLines lines) {
    if (lines.empty())
        return;
    auto part = std::make_shared<MatchLines>(std::move(lines));
    while (!matchLineParts.empty() && matchLineParts.back()->size() + part->size() <= kMergedPart) {
        part->insert(matchLineParts.back()->begin(), matchLineParts.back()->end());
        matchLineParts.pop_back();
    }
    matchLineParts.push_back(std::move(part));
}

std::size_t SearchDetails::matchLineCount() const {
    std::size_t count = 0;
    for (const auto &part : matchLineParts)
        count += part->size();
    return count;
}

} // namespace dromel
