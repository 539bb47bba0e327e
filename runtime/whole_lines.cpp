// Whole lines only: output that ends early, because the program failed or was
// asked to stop, ends at a line end (runtime.h, keepOutputLinesWhole).
#include "platform/platform.h"
#include "runtime/runtime.h"
#include "textio/text_stream.h"

namespace {

// A request to stop: the lines that have ended go out, the one being built
// does not. The platform layer then ends the program by the signal.
void writeOutEndedLines(int) {
  writeOutHeldBytes(ConsoleOut);
}

constexpr platform::StopHook wholeLinesStopHook = {writeOutEndedLines};

}  // namespace

void keepOutputLinesWhole() {
  writeWholeLinesOnly(ConsoleOut);
  platform::installStopHook(wholeLinesStopHook);
}
