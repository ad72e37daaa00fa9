#include "remembered_settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <cmath>

namespace korvel {

namespace {

// The names that place the file; an INI file in every system's user
// configuration directory, so that one file holds all and deleting it
// forgets all.
constexpr const char* kOrganisation = "KORVEL";
constexpr const char* kApplication = "korvel";
constexpr const char* kFlagKey = "RememberSettings";

std::optional<QString> StringOf(const QVariant& value) {
    if (value.typeId() != QMetaType::QString) {
        return std::nullopt;
    }
    return value.toString();
}

std::optional<uint32_t> HexDigit(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9') {
        return u - u'0';
    }
    if (u >= u'a' && u <= u'f') {
        return u - u'a' + 10;
    }
    if (u >= u'A' && u <= u'F') {
        return u - u'A' + 10;
    }
    return std::nullopt;
}

}  // namespace

std::unique_ptr<QSettings> OpenRememberedSettings() {
    auto settings = std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                                QString::fromLatin1(kOrganisation),
                                                QString::fromLatin1(kApplication));
    // The user's own file only: no system-wide values slip in.
    settings->setFallbacksEnabled(false);
    return settings;
}

bool RememberingSettings() {
    const auto settings = OpenRememberedSettings();
    if (!QFileInfo::exists(settings->fileName())) {
        return false;
    }
    return ReadSwitchSetting(settings->value(QString::fromLatin1(kFlagKey))) == true;
}

bool FinishWriting(QSettings& settings, QString& problem) {
    settings.sync();
    if (settings.status() == QSettings::NoError) {
        return true;
    }
    problem = QStringLiteral("The settings could not be written to \"%1\".")
                  .arg(QDir::toNativeSeparators(settings.fileName()));
    return false;
}

void MarkRemembering(QSettings& settings) {
    settings.setValue(QString::fromLatin1(kFlagKey), ShowSwitchSetting(true));
}

bool StartRememberingSettings(QString& problem) {
    const auto settings = OpenRememberedSettings();
    MarkRemembering(*settings);
    return FinishWriting(*settings, problem);
}

bool ForgetRememberedSettings(QString& problem) {
    const auto settings = OpenRememberedSettings();
    const QString path = settings->fileName();
    // Emptied through QSettings first, so that no copy it keeps in memory
    // brings the values back within this run.
    settings->clear();
    settings->sync();
    if (QFile::exists(path) && !QFile::remove(path)) {
        problem = QStringLiteral("The remembered settings in \"%1\" could not be deleted.")
                      .arg(QDir::toNativeSeparators(path));
        return false;
    }
    // The folder goes too when nothing else is in it.
    QDir().rmdir(QFileInfo(path).absolutePath());
    return true;
}

QString ShowSwitchSetting(bool on) {
    return on ? QStringLiteral("true") : QStringLiteral("false");
}

std::optional<bool> ReadSwitchSetting(const QVariant& value) {
    const auto text = StringOf(value);
    if (text == QStringLiteral("true")) {
        return true;
    }
    if (text == QStringLiteral("false")) {
        return false;
    }
    return std::nullopt;
}

QString ShowTraceSetting(const HeldTraces::Trace& trace) {
    QStringList fields{QString::number(trace.startHz), QString::number(trace.stepHz)};
    for (const double sample : trace.samples) {
        fields << QString::number(sample, 'g', 17);
    }
    return fields.join(QLatin1Char(' '));
}

std::optional<HeldTraces::Trace> ReadTraceSetting(const QVariant& value) {
    const auto text = StringOf(value);
    if (!text) {
        return std::nullopt;
    }
    const QStringList fields = text->split(QLatin1Char(' '));
    if (fields.size() < 3) {
        return std::nullopt;
    }
    HeldTraces::Trace trace;
    bool startOk = false;
    bool stepOk = false;
    trace.startHz = fields[0].toUInt(&startOk);
    trace.stepHz = fields[1].toUInt(&stepOk);
    if (!startOk || !stepOk) {
        return std::nullopt;
    }
    for (qsizetype i = 2; i < fields.size(); ++i) {
        bool ok = false;
        const double sample = fields[i].toDouble(&ok);
        if (!ok || !std::isfinite(sample)) {
            return std::nullopt;
        }
        trace.samples.push_back(sample);
    }
    return trace;
}

QString ShowColourSetting(ColorRef colour) {
    return ToQColor(colour).name(QColor::HexRgb);
}

std::optional<ColorRef> ReadColourSetting(const QVariant& value) {
    const auto text = StringOf(value);
    // Exactly "#rrggbb": QColor would also take names and other forms.
    if (!text || text->size() != 7 || text->front() != QLatin1Char('#')) {
        return std::nullopt;
    }
    uint32_t rgb = 0;
    for (qsizetype i = 1; i < text->size(); ++i) {
        const auto digit = HexDigit(text->at(i));
        if (!digit) {
            return std::nullopt;
        }
        rgb = rgb * 16 + *digit;
    }
    return RGB(static_cast<int>((rgb >> 16) & 0xFF), static_cast<int>((rgb >> 8) & 0xFF),
               static_cast<int>(rgb & 0xFF));
}

std::optional<std::string> ReadEditSetting(const QVariant& value) {
    const auto text = StringOf(value);
    if (!text) {
        return std::nullopt;
    }
    return text->toStdString();
}

}  // namespace korvel
