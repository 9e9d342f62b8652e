// Appends audit entries as one of several writers racing each other:
//   audit_writer LOG WRITER COUNT MAX_PAUSE_MS
// Each entry's system message is "WRITER-i". After each FixLogMess prints "ok i" once the entry
// is safe (in the log or the backlog), or "lost i" when FixLogMess reported the loss.
#include <LyrUtil.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
  if (argc != 5) return 2;
  std::string log = argv[1];
  std::string writer = argv[2];
  int count = std::atoi(argv[3]);
  int pause = std::atoi(argv[4]);
  std::srand(static_cast<unsigned>(GetCurrentProcessId()));
  std::printf("ready\n");
  std::fflush(stdout);
  CLyrLog audit;
  audit.SetFile(&log[0]);
  audit.SetUsrId("stress");
  for (int i = 0; i < count; ++i) {
    std::string message = writer + "-" + std::to_string(i);
    audit.SetSysMess(message.c_str());
    audit.SetTime();
    try {
      audit.FixLogMess(0);
      std::printf("ok %d\n", i);
    } catch (CException* e) {
      e->Delete();
      std::printf("lost %d\n", i);
    }
    std::fflush(stdout);
    if (pause > 0) Sleep(static_cast<DWORD>(std::rand() % pause));
  }
  return 0;
}
