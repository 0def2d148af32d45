#include "core/Location.h"

#include <vector>

namespace dromel::Location {

std::string standardized(std::string_view path) {
    const bool absolute = isAbsolute(path);
    std::vector<std::string_view> parts;
    std::size_t pos = 0;
    while (pos <= path.size()) {
        std::size_t next = path.find('/', pos);
        if (next == std::string_view::npos)
            next = path.size();
        std::string_view part = path.substr(pos, next - pos);
        pos = next + 1;
        if (part.empty() || part == ".")
            continue;
        if (part == "..") {
            if (!parts.empty() && parts.back() != "..")
                parts.pop_back();
            else if (!absolute)
                parts.push_back(part);
            continue;
        }
        parts.push_back(part);
    }
    if (parts.empty())
        return absolute ? std::string("/") : std::string(path.empty() ? "" : ".");
    std::string result;
    result.reserve(path.size() + 1);
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (absolute || i > 0)
            result.push_back('/');
        result.append(parts[i].data(), parts[i].size());
    }
    return result;
}

static bool isUnreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

std::string percentEncoded(std::string_view path) {
    static const char *const kHex = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(path.size());
    for (unsigned char c : path) {
        if (isUnreserved(c) || c == '/') {
            encoded += static_cast<char>(c);
        } else {
            encoded += '%';
            encoded += kHex[c >> 4];
            encoded += kHex[c & 0xF];
        }
    }
    return encoded;
}

std::string fileURL(std::string_view path, bool isFolder) {
    std::string url = "file://" + percentEncoded(path);
    if (isFolder && (url.size() == 7 || url.back() != '/'))
        url += '/';
    return url;
}

static int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

static bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

// Both "file:///path" (empty or "localhost" authority) and RFC 8089's
// "file:/path" are taken. An escaped "/" would let one name climb out of its
// folder once decoded, and an escaped NUL would cut the path short, so both
// refuse the URL, as GLib does.
std::optional<std::string> pathFromFileURL(std::string_view url) {
    if (url.size() < 6 || !equalsIgnoringCase(url.substr(0, 5), "file:"))
        return std::nullopt;
    std::string_view rest = url.substr(5);
    if (rest.starts_with("//")) {
        rest.remove_prefix(2);
        const std::size_t slash = rest.find('/');
        if (slash == std::string_view::npos)
            return std::nullopt;
        const std::string_view host = rest.substr(0, slash);
        if (!host.empty() && !equalsIgnoringCase(host, "localhost"))
            return std::nullopt;
        rest.remove_prefix(slash);
    } else if (!rest.starts_with('/')) {
        return std::nullopt;
    }
    const std::string_view encoded = rest;
    std::string path;
    path.reserve(encoded.size());
    for (std::size_t i = 0; i < encoded.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(encoded[i]);
        if (c == '%') {
            if (i + 2 >= encoded.size())
                return std::nullopt;
            const int high = hexValue(encoded[i + 1]);
            const int low = hexValue(encoded[i + 2]);
            if (high < 0 || low < 0)
                return std::nullopt;
            const char byte = static_cast<char>(high * 16 + low);
            if (byte == '\0' || byte == '/')
                return std::nullopt;
            path += byte;
            i += 2;
        } else if (c <= 0x20 || c == 0x7F || c == '?' || c == '#') {
            return std::nullopt;
        } else {
            path += static_cast<char>(c);
        }
    }
    return standardized(path);
}

std::optional<std::string> percentDecoded(std::string_view text) {
    std::string bytes;
    bytes.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            bytes += text[i];
            continue;
        }
        if (i + 2 >= text.size())
            return std::nullopt;
        const int high = hexValue(text[i + 1]);
        const int low = hexValue(text[i + 2]);
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return bytes;
}

std::string lastComponent(std::string_view path) {
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    if (path == "/")
        return "/";
    const std::size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string parent(std::string_view path) {
    const std::string clean = standardized(path);
    const std::size_t slash = clean.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return clean.substr(0, slash);
}

std::string appending(std::string_view path, std::string_view name) {
    std::string result(path);
    if (result.empty() || result.back() != '/')
        result += '/';
    result += name;
    return result;
}

bool isAbsolute(std::string_view path) {
    return !path.empty() && path.front() == '/';
}

} // namespace dromel::Location
