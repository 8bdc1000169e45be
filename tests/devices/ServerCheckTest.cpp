// The decision every device test defers to when its server is out of reach.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "ServerCheck.h"

namespace {

class CiVariable : public ::testing::Test {
protected:
    void SetUp() override {
        const char* v = std::getenv("CI");
        had_ = v != nullptr;
        saved_ = v ? v : "";
    }
    void TearDown() override {
        if (had_)
            ::setenv("CI", saved_.c_str(), 1);
        else
            ::unsetenv("CI");
    }

private:
    bool had_ = false;
    std::string saved_;
};

void unreachableServer() { TX_SERVER_UNREACHABLE("no server for this test"); }

}  // namespace

TEST_F(CiVariable, OnlyATrueValueRequiresTheServers) {
    const struct {
        const char* value;
        bool required;
    } cases[] = {{"true", true},   {"TRUE", true}, {"1", true}, {"yes", true},
                 {"false", false}, {"0", false},   {"", false}};
    for (const auto& c : cases) {
        ::setenv("CI", c.value, 1);
        EXPECT_EQ(txtest::ServersRequired(), c.required) << "CI=" << c.value;
    }
    ::unsetenv("CI");
    EXPECT_FALSE(txtest::ServersRequired());
}

TEST_F(CiVariable, UnderCiAnUnreachableServerFailsTheTest) {
    ::setenv("CI", "true", 1);
    EXPECT_FATAL_FAILURE(unreachableServer(), "CI=true: a device test may not skip");
}
