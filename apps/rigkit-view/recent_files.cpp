#include "apps/rigkit-view/recent_files.h"

#include <QFileInfo>
#include <QSettings>

namespace viewer::recent_files {

namespace {

const char* const kKey = "recentFiles";

QSettings settings() {
    return QSettings(QStringLiteral("rigkit"), QStringLiteral("rigkit-view"));
}

}  // namespace

QStringList list() {
    QSettings s = settings();
    const QStringList stored = s.value(kKey).toStringList();
    QStringList out;
    for (const QString& file : stored)
        if (QFileInfo(file).isFile())
            out.append(file);
    if (out != stored)
        s.setValue(kKey, out);
    return out;
}

void add(const QString& file) {
    const QString absolute = QFileInfo(file).absoluteFilePath();
    QStringList files = list();
    files.removeAll(absolute);
    files.prepend(absolute);
    while (files.size() > kMaxRecent)
        files.removeLast();
    settings().setValue(kKey, files);
}

}  // namespace viewer::recent_files
