// The caption of the program's own message boxes: the application's title,
// which is the executable's file name without its extension ("korvel").
#pragma once

#include <QCoreApplication>
#include <QString>

namespace korvel {

inline QString ApplicationTitle() {
    return QCoreApplication::applicationName();
}

}  // namespace korvel
