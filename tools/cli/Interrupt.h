#pragma once

namespace ambro::cli {

// Ctrl-C (SIGINT) and SIGTERM set a flag that long commands look at, so
// that they can end cleanly (closing connections, removing partial files)
// instead of being killed half-way.
void installInterruptHandler();
bool interrupted();

// The exit status of a command ended by Ctrl-C, as shells report it.
inline constexpr int kInterrupted = 130;

}  // namespace ambro::cli
