// Helpers for tests that run the platform layer and the text streams over
// real descriptors: temporary files, pipes, pseudo-terminals, redirection of
// the standard descriptors, child processes, and a stand-in for the
// operating-system calls that counts them and injects failures.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/linux_system_calls.h"

namespace testing_support {

// A descriptor closed on destruction.
class Descriptor {
 public:
  Descriptor() = default;
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(Descriptor&& other) noexcept : fd_(other.release()) {}
  Descriptor& operator=(Descriptor&& other) noexcept;
  ~Descriptor() { reset(); }
  int get() const { return fd_; }
  int release();
  void reset();

 private:
  int fd_ = -1;
};

// An unlinked regular file in the temporary directory, open for reading and
// writing, holding `contents` with the offset at its start.
Descriptor temporaryFile(const std::string& contents = "");
// A new empty folder in the temporary directory, made by mkdtemp; the caller
// removes it.
std::string temporaryFolder();
// Everything in a regular file, whatever the offset.
std::string fileContents(int fd);

struct Pipe {
  Descriptor readEnd;
  Descriptor writeEnd;
};
Pipe makePipe();

// A pseudo-terminal whose slave side is in raw mode: no echo, no LF to CR LF,
// no signal keys (so byte 26 is data), reads return as soon as a byte is there.
// Both descriptors close on exec, as the pipes do: a program started meanwhile
// for another test holds no end of this terminal. Both are -1 where the system
// offers no pseudo-terminals.
struct Terminal {
  Descriptor master;
  Descriptor slave;
};
Terminal makeTerminal();

// The output of a child that writes to the slave side of `terminal`, read
// while the child runs and until everything it wrote has arrived. The caller
// still holds `terminal.slave`: the master reports the end (EIO) once the
// last slave descriptor is closed, so the parent's is closed only after the
// child has been waited for, and that end then comes after every byte the
// child wrote, whatever the scheduling. `status` receives the wait status;
// a child that runs longer than `timeoutMs` is killed (waitForChild).
std::string readTerminalUntilChildEnds(Terminal& terminal, pid_t child, int& status,
                                       int timeoutMs = 10000);
// What is left on the master of a terminal whose child has been waited for:
// closes the slave (the caller's, the last one) and reads until the end.
std::string drainTerminal(Terminal& terminal);

// Writes all bytes; fails the test on error.
void writeAll(int fd, const std::string& bytes);
// Reads what arrives within `timeoutMs` of silence, up to `limit` bytes.
std::string readAvailable(int fd, int timeoutMs = 200, std::size_t limit = 1 << 20);
// Reads until the descriptor reports the end of the data.
std::string readToEnd(int fd);

// Saves descriptors 0, 1 and 2 and puts them back on destruction.
class StandardDescriptors {
 public:
  StandardDescriptors();
  ~StandardDescriptors();
  StandardDescriptors(const StandardDescriptors&) = delete;
  StandardDescriptors& operator=(const StandardDescriptors&) = delete;
  // Makes standard descriptor `standardFd` (0, 1 or 2) a copy of `fd`.
  void redirect(int standardFd, int fd);
  // Leaves standard descriptor `standardFd` closed.
  void close(int standardFd);
  void restore();

 private:
  int saved_[3];
};

// Runs `body` in a forked child, which ends with the body's result as its
// exit code; returns the wait status.
int runInChild(const std::function<int()>& body);
// The same in two steps, for a test that talks to the child meanwhile.
// waitForChild kills a child that has not ended within `timeoutMs`.
pid_t startChild(const std::function<int()>& body);
int waitForChild(pid_t child, int timeoutMs = 10000);

// Reads until `expected` has arrived in full or `timeoutMs` has passed, and
// returns what arrived.
std::string readExpected(int fd, const std::string& expected, int timeoutMs = 5000);

// A stand-in for the kernel's calls, installed for its lifetime. Every call
// is counted and then passed on to the real call, unless a scripted failure
// is due. Scripted entries are consumed one per call: an error number fails
// that call with it, 0 passes it on.
class SystemCallStandIn {
 public:
  SystemCallStandIn();
  ~SystemCallStandIn();
  SystemCallStandIn(const SystemCallStandIn&) = delete;
  SystemCallStandIn& operator=(const SystemCallStandIn&) = delete;

  std::deque<int> readScript;
  std::deque<int> writeScript;
  std::deque<int> pollScript;
  // Every fstat fails with this error number when it is not 0.
  int fstatError = 0;
  // Each write passes on at most this many bytes.
  std::size_t writeLimit = static_cast<std::size_t>(-1);
  // Each write that is passed on reports this many bytes written, without
  // writing anything, when it is not -1.
  ssize_t writeResult = -1;
  // Called before each read and each poll that is passed on to the real call
  // (the count already includes it): a test makes the event that the layer
  // waits for happen from here, or tells another thread that it may.
  std::function<void()> beforeRead;
  std::function<void()> beforePoll;

  int reads = 0;
  int writes = 0;
  int fstats = 0;
  int descriptorChecks = 0;
  int polls = 0;
  std::vector<std::size_t> readSizes;   // bytes delivered by successful reads
  std::vector<std::size_t> writeSizes;  // bytes written by successful writes

 private:
  const platform::SystemCalls& previous_;
};

}  // namespace testing_support
