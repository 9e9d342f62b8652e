// Loopback ports for the real servers the tests start (CUPS, Samba).
#ifndef LYRUTIL_TESTS_LOOPBACK_H
#define LYRUTIL_TESTS_LOOPBACK_H

// A port the kernel has free now (taken back at once; the server binds it a moment later).
int FreeLoopbackPort();
// Whether something accepts connections on 127.0.0.1:`port`.
bool LoopbackPortAnswers(int port);

#endif  // LYRUTIL_TESTS_LOOPBACK_H
