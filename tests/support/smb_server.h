// A real SMB server for a test: smbd started in the foreground on a free loopback port with a
// private configuration in a folder of the test's own, and three shares: "lab" (read and write)
// and "archive" (read only) for guests, "private" for User() with kPassword alone; their files in
// Folder()/lab, Folder()/archive and Folder()/private-share. The test
// process's LYRUTIL_SMB_PORT points the stand-in at it (the stand-in reads it once, so one port
// serves the whole test program: a server started again takes the same port).
#ifndef LYRUTIL_TESTS_SMB_SERVER_H
#define LYRUTIL_TESTS_SMB_SERVER_H

#include <sys/types.h>

#include <string>

class SmbServer {
 public:
  explicit SmbServer(const std::string& folder);
  ~SmbServer();
  SmbServer(const SmbServer&) = delete;
  SmbServer& operator=(const SmbServer&) = delete;

  static constexpr char kPassword[] = "Lab-Secret-7";
  // The user the private share admits: the one running the tests (smbd acts as a host user).
  static std::string User();

  bool Running() const { return pid_ > 0; }
  const std::string& Folder() const { return folder_; }
  // What smbd said when it did not start.
  std::string Log() const;
  // Whether User()'s password could be set (smbpasswd).
  bool PasswordSet() const { return passwordSet_; }
  // Starts it (again); false when it does not answer within ten seconds.
  bool Start();
  // Ends it and the processes serving its clients: SIGTERM, or SIGKILL for a server that dies
  // in the middle of whatever it is doing.
  void Stop(bool kill = false);
  // Stops it and its children answering without ending them (SIGSTOP), as a hung server; Resume
  // lets them go on.
  void Pause();
  void Resume();

 private:
  std::string folder_;
  pid_t pid_ = -1;
  bool passwordSet_ = false;
};

// The test program's server, made at the first call in a temporary folder of its own (running, or
// not when smbd could not start: see Log()); ended and its folder removed when the program ends.
SmbServer& TestSmbServer();
// Empties the "lab" share's folder. Not made anew: the server's sessions keep it open.
void EmptyLabShare(const SmbServer& server);

#endif  // LYRUTIL_TESTS_SMB_SERVER_H
