// SPDX-License-Identifier: GPL-3.0-or-later
// The caption of the program's own message boxes: the application's title,
// "KORVEL". On Windows it is the executable's file name without its extension
// (KORVEL.exe); elsewhere the executable is lower-case "korvel" by convention
// and the title is set to "KORVEL" all the same.
#pragma once

#include <QCoreApplication>
#include <QFileInfo>
#include <QString>

namespace korvel {

inline QString ApplicationTitle() {
    return QCoreApplication::applicationName();
}

// The title the application object gives itself, from its executable's path.
inline QString TitleForExecutable(const QString& executablePath, bool windows) {
    if (windows) {
        return QFileInfo(executablePath).completeBaseName();
    }
    return QStringLiteral("KORVEL");
}

}  // namespace korvel
