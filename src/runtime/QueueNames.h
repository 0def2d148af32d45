#pragma once

#include "core/Version.h"

#include <string>

namespace dromel {

// userInitiated runs at the process's own priority; utility below it; bulk
// lowest, for threads that keep every core busy while the window shows what
// they find (the main thread must win each core back at once to paint).
enum class QueuePriority { userInitiated, utility, bulk };

struct QueueConfig {
    std::string label;
    int concurrency = 1;
    QueuePriority priority = QueuePriority::utility;
};

// Every background queue of the program, with its name, width and priority.
namespace QueueNames {

inline std::string identified(const char *name) {
    return std::string(kApplicationIdentifier) + "." + name;
}

inline QueueConfig directoryReader() {
    return {"Dromel.directory-reader", 2, QueuePriority::userInitiated};
}
inline QueueConfig listingOrder() {
    return {"Dromel.listing-order", 2, QueuePriority::userInitiated};
}
// Names of large listings prepared for the filter.
inline QueueConfig filterIndex() {
    return {"Dromel.filter-index", 1, QueuePriority::userInitiated};
}
inline QueueConfig directoryEvents() {
    return {"Dromel.directory-events", 1, QueuePriority::utility};
}
inline QueueConfig volumeReader() {
    return {"volume-reader", 1, QueuePriority::utility};
}
// libmount's mount-table notices are read here.
inline QueueConfig volumeEvents() {
    return {"Dromel.volume-events", 1, QueuePriority::utility};
}
// The user's own copies and moves run at the program's normal priority:
// niced, they lost to every other program copying on a busy machine. Work
// nobody waits for (thumbnails, folder tallies) stays below them.
inline QueueConfig operations() {
    return {identified("operations"), 1, QueuePriority::userInitiated};
}
inline QueueConfig operationInspection() {
    return {identified("operation-inspection"), 2, QueuePriority::userInitiated};
}
inline QueueConfig operationJournal() {
    return {identified("operation-journal"), 1, QueuePriority::utility};
}
// What the desktop asks of items (types, stats of items it names), so a slow
// or dead volume never stalls the window.
inline QueueConfig desktopInspection() {
    return {identified("desktop-inspection"), 2, QueuePriority::userInitiated};
}
inline QueueConfig session() {
    return {identified("session"), 1, QueuePriority::utility};
}

} // namespace QueueNames
} // namespace dromel
