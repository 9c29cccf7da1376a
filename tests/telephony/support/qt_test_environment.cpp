// Every telephony test process gets its Qt application before the first test runs: the scenarios
// need an event loop for the service's descriptor, the widget tests a QApplication on the
// offscreen platform (so `ctest` alone works without a display).
#include <QCoreApplication>
#ifdef KESTRIUM_TEST_WIDGETS
#include <QApplication>
#endif

#include <gtest/gtest.h>

#include <memory>

namespace {

#ifdef KESTRIUM_TEST_WIDGETS
using TestApplication = QApplication;
#else
using TestApplication = QCoreApplication;
#endif

class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        m_app = std::make_unique<TestApplication>(m_argc, m_argv);
    }
    void TearDown() override { m_app.reset(); }

private:
    int m_argc = 1;
    char m_name[16] = "telephony";
    char* m_argv[2] = { m_name, nullptr };
    std::unique_ptr<TestApplication> m_app;
};

[[maybe_unused]] ::testing::Environment* const g_qtEnvironment
    = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

} // namespace
