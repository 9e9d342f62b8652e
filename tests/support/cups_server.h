// A real CUPS server for a test: cupsd started in the foreground on a free loopback port with a
// private configuration in a folder of the test's own, its queues printing to /dev/null and the
// documents of finished jobs kept in its spool (PreserveJobFiles) to be read back. The test's
// CUPS_SERVER points at it while it runs; Stop (or the destructor) ends it.
#ifndef LYRUTIL_TESTS_CUPS_SERVER_H
#define LYRUTIL_TESTS_CUPS_SERVER_H

#include <sys/types.h>

#include <string>
#include <utility>
#include <vector>

class CupsServer {
 public:
  // `printersConf` is the server's printers.conf: its queues and their states. `drivers` gives
  // queues a PPD file (queue name, the file's text); the others are raw queues.
  CupsServer(const std::string& folder, const std::string& printersConf,
             const std::vector<std::pair<std::string, std::string>>& drivers = {});
  ~CupsServer();
  CupsServer(const CupsServer&) = delete;
  CupsServer& operator=(const CupsServer&) = delete;

  bool Running() const { return pid_ > 0; }
  const std::string& Address() const { return address_; }  // "127.0.0.1:PORT"
  // The document of job `job` as the server received it; empty until the job has finished.
  std::string JobDocument(int job, int waitMs = 10000) const;
  // The job's control file (its attributes, as IPP bytes).
  std::string JobControl(int job) const;
  // The number of jobs the server knows of (a control file each).
  int JobCount() const;
  void Stop();

 private:
  std::string folder_;
  std::string address_;
  pid_t pid_ = -1;
};

#endif  // LYRUTIL_TESTS_CUPS_SERVER_H
