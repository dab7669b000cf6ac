#include "tests/platform/messages/QtTestApplication.h"

namespace orvane::test {
namespace {

[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

}  // namespace
}  // namespace orvane::test
