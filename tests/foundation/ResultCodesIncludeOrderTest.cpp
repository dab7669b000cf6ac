// R_OK names success even when the C library headers that define an R_OK macro for access()
// come after the result codes, directly or through the standard headers.
#include "foundation/ResultCodes.h"

#include <fcntl.h>
#include <sys/fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/unistd.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include <gtest/gtest.h>

static_assert(R_OK == 0, "a C library header redefined R_OK after foundation/ResultCodes.h");
static_assert(!RSucceeded(R_E_BAD_FORMAT) && RSucceeded(R_OK));

TEST(ResultCodes, SuccessStaysZeroAfterEveryLibcHeader) { EXPECT_EQ(R_OK, 0); }
