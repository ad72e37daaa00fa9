// The window's message boxes carry the application's title; under test it is
// the program's own name, as the korvel executable sets it.
#include <gtest/gtest.h>

#include <QCoreApplication>

namespace {

class AppTitleEnvironment final : public ::testing::Environment {
  public:
    void SetUp() override { QCoreApplication::setApplicationName(QStringLiteral("korvel")); }
};

[[maybe_unused]] const auto* const kRegistered =
    ::testing::AddGlobalTestEnvironment(new AppTitleEnvironment);

}  // namespace
