#pragma once

#include <string>
#include <variant>

namespace dromel {

// The error a tab shows in its error row; the window turns it into text.
struct BrowserIssue {
    struct DirectoryRead {
        std::string path;
        std::string detail;
        friend bool operator==(const DirectoryRead &, const DirectoryRead &) = default;
    };
    struct Message {
        std::string text;
        friend bool operator==(const Message &, const Message &) = default;
    };
    struct TooManyTabs {
        friend bool operator==(const TooManyTabs &, const TooManyTabs &) = default;
    };

    std::variant<DirectoryRead, Message, TooManyTabs> value;

    static BrowserIssue directoryRead(std::string path, std::string detail) {
        return {DirectoryRead{std::move(path), std::move(detail)}};
    }
    static BrowserIssue message(std::string text) { return {Message{std::move(text)}}; }
    static BrowserIssue tooManyTabs() { return {TooManyTabs{}}; }

    friend bool operator==(const BrowserIssue &, const BrowserIssue &) = default;
};

} // namespace dromel
