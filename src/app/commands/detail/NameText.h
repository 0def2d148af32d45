#pragma once

#include <QString>

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// A name's bytes as editable text and back. Linux names need not be UTF-8:
// each byte that is not part of a valid UTF-8 sequence shows as U+FFFD, and
// an edit keeps such bytes exactly as long as the user leaves them alone.
namespace dromel::NameText {

struct Shown {
    QString text;
    // For each UTF-16 unit of `text`, the bytes of the name it shows
    // ([first, second)); both units of a surrogate pair share one range.
    std::vector<std::pair<std::size_t, std::size_t>> spans;
};

Shown show(std::string_view bytes);

// The bytes of `typed`, an edit of show(original).text: the unchanged text
// before and after the edit keeps the original bytes, the edited middle is
// UTF-8. Nothing when the edited middle holds U+FFFD, whose bytes cannot be
// known.
std::optional<std::string> edited(std::string_view original, const QString &typed);

} // namespace dromel::NameText
