// The one way a command fails: a line for standard error and exit status 2.
#ifndef LYRUTIL_TOOLS_TOOL_ERROR_H
#define LYRUTIL_TOOLS_TOOL_ERROR_H

#include <stdexcept>
#include <string>

class ToolError : public std::runtime_error {
 public:
  explicit ToolError(const std::string& message) : std::runtime_error(message) {}
};

#endif  // LYRUTIL_TOOLS_TOOL_ERROR_H
