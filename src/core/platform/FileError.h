#pragma once
// File input/output failures. Commands do not catch them: they end the
// command and reach the window's general error handler (or the command-line
// tool's exit 1), which shows what() to the user. The text always names the
// file, and the offset where one applies.
#include <stdexcept>
#include <string>

namespace kovra {

class TFileError : public std::runtime_error {
 public:
  explicit TFileError(const std::string& text) : std::runtime_error(text) {}
};

}  // namespace kovra
