// Shared set-up for the text stream tests: fresh standard stream records as
// start-up leaves them, no pending code, and the standard descriptors put
// back after each test.
#pragma once

#include <string>

#include "gtest/gtest.h"
#include "tests/platform/descriptor_support.h"
#include "textio/text_stream_internal.h"

namespace stream_testing {

// A record as start-up leaves it: zero-filled, marked closed.
inline void resetStream(TextStream& stream) {
  stream = TextStream{};
  stream.mode = modeClosed;
}

class TextStreamTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // As at start-up: a write to a closed pipe fails instead of ending the test.
    platform::initPlatform();
    resetStream(ConsoleIn);
    resetStream(ConsoleOut);
    resetStream(ConsoleErr);
    pendingIoError = 0;
  }

  // Standard input delivers `bytes` from a regular file or from a pipe whose
  // writer has written them and closed its end.
  void inputFromFile(const std::string& bytes) {
    auto file = testing_support::temporaryFile(bytes);
    standard.redirect(0, file.get());
  }
  void inputFromPipe(const std::string& bytes) {
    auto pipe = testing_support::makePipe();
    testing_support::writeAll(pipe.writeEnd.get(), bytes);
    standard.redirect(0, pipe.readEnd.get());
  }

  testing_support::StandardDescriptors standard;
};

}  // namespace stream_testing
