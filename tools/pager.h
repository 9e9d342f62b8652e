// Output for a person at a terminal goes through a pager, as journalctl's does.
#ifndef LYRUTIL_TOOLS_PAGER_H
#define LYRUTIL_TOOLS_PAGER_H

// When standard output is a terminal, starts a pager and points standard output into it:
// $LYRUTIL_PAGER, else $PAGER, else less when it is installed, with LESS=FRX unless LESS is set
// (quit at once when the output fits on one screen, pass colours, leave the screen as it was). An
// empty value or "cat" means no pager. The process waits for the pager when it exits, so that the
// shell's prompt comes back after it.
void StartPagerOnATerminal();

#endif  // LYRUTIL_TOOLS_PAGER_H
