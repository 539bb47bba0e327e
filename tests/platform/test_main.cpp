// Test entry point for tests that redirect the standard descriptors: the test
// framework's own output goes to a private copy of descriptor 1, so that it
// neither lands in a file a test is checking nor disappears with a closed
// descriptor.

#include <fcntl.h>

#include <cstdio>

#include "gtest/gtest.h"

int main(int argc, char** argv) {
  const int report = ::fcntl(1, F_DUPFD_CLOEXEC, 10);
  if (report >= 0) {
    if (std::FILE* stream = ::fdopen(report, "w"); stream != nullptr) {
      std::setvbuf(stream, nullptr, _IOLBF, 0);
      stdout = stream;
    }
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
