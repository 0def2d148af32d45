#pragma once

#include <optional>
#include <string>
#include <string_view>

// Locations are held as absolute paths in raw bytes (Linux names need not be
// UTF-8). The file-URL text form exists only where a URL is written out: JSON
// records and the clipboard. None of these functions touches the file system.
namespace dromel::Location {

// Lexical normal form: no ".", "..", duplicate or trailing slashes; "/.." is "/".
std::string standardized(std::string_view path);

// The path with every byte outside A-Z a-z 0-9 - . _ ~ and "/" percent-encoded.
std::string percentEncoded(std::string_view path);

// The bytes of percent-encoded text, every other character taken as it is; nothing
// for a bad escape. No standardization: the inverse of percentEncoded exactly.
std::optional<std::string> percentDecoded(std::string_view text);

// "file://" + the path with every byte outside A-Z a-z 0-9 - . _ ~ and "/"
// percent-encoded; a folder URL ends in "/".
std::string fileURL(std::string_view path, bool isFolder);

// The standardized path of a file URL ("file:///p", "file://localhost/p" or
// "file:/p"), or nothing for another scheme, another host, a bad escape, an
// escaped "/" or NUL, a query or fragment.
std::optional<std::string> pathFromFileURL(std::string_view url);

std::string lastComponent(std::string_view path);
// Parent folder of a standardized path; "/" is its own parent.
std::string parent(std::string_view path);
std::string appending(std::string_view path, std::string_view name);
bool isAbsolute(std::string_view path);

} // namespace dromel::Location
