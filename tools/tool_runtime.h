// What every command of lyrutil shares with the program around it: the library started as a host
// starts it, and standard output flushed with its failures reported.
#ifndef LYRUTIL_TOOLS_TOOL_RUNTIME_H
#define LYRUTIL_TOOLS_TOOL_RUNTIME_H

// InitSystemGlobalParameters, once per process, as every host calls it before anything else.
void StartLibrary();

// Flushes standard output; throws ToolError when it cannot be written (a full disk, a closed
// pipe's reader gone).
void FlushStandardOutput();

#endif  // LYRUTIL_TOOLS_TOOL_RUNTIME_H
