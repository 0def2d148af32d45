#pragma once

namespace dromel {

// The application's reverse-domain identifier; queues and state folders that
// belong to Dromel are labelled with it.
inline constexpr const char *kApplicationIdentifier = "org.dromel.Dromel";
inline constexpr const char *kApplicationName = "Dromel";

} // namespace dromel
