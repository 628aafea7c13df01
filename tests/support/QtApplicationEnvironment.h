#pragma once
// The one Qt application object of a test executable, made before the first test and destroyed after
// the last, while Qt's own globals still exist. Tests that need it register it once per executable:
//   const auto* const kEnvironment = TestSupport::addApplicationEnvironment<QApplication>();

#include <gtest/gtest.h>

#include <QByteArray>
#include <QtGlobal>

#include <cerrno>
#include <memory>

namespace TestSupport {

struct ApplicationOptions {
    /// Without DISPLAY no application is made: qApp stays null, so the tests can skip themselves.
    bool needsDisplay = false;
    /// QT_QPA_PLATFORM to set first; null keeps what the test's environment says.
    const char* platform = nullptr;
    /// The program name Qt is given; null takes the test executable's own.
    const char* name = nullptr;
};

/// `App` is QCoreApplication, QGuiApplication or QApplication, whichever the tests need.
template <typename App> class QtApplicationEnvironment : public ::testing::Environment
{
public:
    explicit QtApplicationEnvironment(ApplicationOptions options = {})
        : m_options(options), m_name(options.name ? options.name : program_invocation_short_name)
    {
    }

    void SetUp() override
    {
        if (m_options.needsDisplay && qEnvironmentVariableIsEmpty("DISPLAY")) {
            return;
        }
        if (m_options.platform) {
            qputenv("QT_QPA_PLATFORM", m_options.platform);
        }
        // Qt keeps referring to argc and argv, so they live as long as the environment does.
        m_argv[0] = m_name.data();
        m_app = std::make_unique<App>(m_argc, m_argv);
    }

    void TearDown() override { m_app.reset(); }

private:
    ApplicationOptions m_options;
    QByteArray m_name;
    int m_argc = 1;
    char* m_argv[2] = {nullptr, nullptr};
    std::unique_ptr<App> m_app;
};

/// Registers the application environment with the test runner, which owns it from then on.
template <typename App>::testing::Environment* addApplicationEnvironment(ApplicationOptions options = {})
{
    return ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment<App>(options));
}

} // namespace TestSupport
