// Where "Remember Settings" keeps the window's settings: one INI file in the
// user's configuration directory (QSettings' user scope). The file exists
// only while the entry is on and says so in its first key, so a window that
// finds no file reads nothing and writes nothing.
#pragma once

#include <QSettings>
#include <QString>
#include <QVariant>
#include <memory>
#include <optional>

#include "color_ref.h"
#include "held_traces.h"

namespace korvel {

// The settings file, opened in the user's place.
std::unique_ptr<QSettings> OpenRememberedSettings();

// Whether the entry was left on: the file exists and carries the flag.
bool RememberingSettings();

// Turns the entry on (writes the flag) or off (deletes the file). False, with
// a message for the user, when the file could not be written or deleted.
bool StartRememberingSettings(QString& problem);
bool ForgetRememberedSettings(QString& problem);

// Marks an open file as the entry's: written with the values at each save.
void MarkRemembering(QSettings& settings);
// False, with a message, when what was written did not reach the file.
bool FinishWriting(QSettings& settings, QString& problem);

// Texts of the values that are not edit texts. A reader takes what the file
// gave (a string for a well-formed entry) and refuses anything else.
QString ShowSwitchSetting(bool on);
std::optional<bool> ReadSwitchSetting(const QVariant& value);
QString ShowColourSetting(ColorRef colour);
std::optional<ColorRef> ReadColourSetting(const QVariant& value);
// A held curve as "startHz stepHz sample sample ...": read back only whole,
// with every number finite and at least one sample.
QString ShowTraceSetting(const HeldTraces::Trace& trace);
std::optional<HeldTraces::Trace> ReadTraceSetting(const QVariant& value);
// The text of an edit, or nothing when the entry holds anything else.
std::optional<std::string> ReadEditSetting(const QVariant& value);

}  // namespace korvel
