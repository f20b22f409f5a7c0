// What a command can end with besides its own result.
#pragma once

#include <stdexcept>
#include <string>

namespace kvodev {

// Exit statuses. A command whose operation the library answered with false,
// or whose change was not saved, ends with False; check has two more of its own.
enum Exit : int {
  Success = 0,
  False = 1,
  Different = 1,  // diff: the documents differ (as diff(1); trouble is Usage)
  Usage = 2,      // a usage error or bad input: nothing was changed
  Recovered = 3,  // check: the document was damaged and replaced
  GaveUp = 4,     // check: the configuration could not be opened
  NotLoaded = 5,  // a reading command: the configuration cannot be loaded; nothing was changed
  WriteFailed = 6,  // standard output could not be written (the command itself may have done its work)
};

// Bad input or a usage error: one line for standard error, exit status Usage.
// Thrown only before anything on disk is touched.
class InputError : public std::runtime_error {
 public:
  explicit InputError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace kvodev
