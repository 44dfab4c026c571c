#pragma once

class QWidget;

namespace corvalis::qt {

// Set in the environment, the program reports when its window is first painted and exits: the
// start-up benchmark reads the wall-clock time and resident memory it prints.
inline constexpr char kExitOnShowVariable[] = "CORVALIS_BENCH_EXIT_ON_SHOW";

// Prints "shown_ns=<wall clock, ns since the epoch> rss_kb=<VmRSS>" after the window's first paint,
// then quits the event loop. Does nothing unless the variable above is set.
void reportFirstPaintWhenAsked(QWidget& window);

}  // namespace corvalis::qt
