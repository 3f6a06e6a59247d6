#pragma once

// The scene files opened or saved lately, newest first, kept between sessions in the
// user's settings. A file that is no longer there leaves the list when it is next read.

#include <QStringList>

namespace viewer {

namespace recent_files {

// At most this many are kept.
constexpr int kMaxRecent = 10;

// The files that still exist, newest first.
QStringList list();
// `file` goes to the top of the list (once, by its absolute path).
void add(const QString& file);

}  // namespace recent_files

}  // namespace viewer
