#pragma once

#include <string>

namespace dromel {

class BrowserController;
class BrowserStore;
class FileCommandController;

// Gives the browser window its file commands: the menu entries, the list's
// commands and context menu, the cut marks, the inline rename, drag and drop
// and the operations button in the toolbar. The window owns what is made
// here.
namespace FileCommandsBinding {

// Call once, after the window's toolbar is installed.
FileCommandController *attach(BrowserController &window, BrowserStore &store, const std::string &journalPath);

} // namespace FileCommandsBinding
} // namespace dromel
