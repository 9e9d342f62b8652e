// Files on network shares (\\server\share\...), through the SMB client library, as the Windows
// redirector reaches them. A handle's desired access and share mode go to the server in its open,
// so the server answers every machine's opens alike: a log held without sharing is refused to
// all of them (ERROR_SHARING_VIOLATION), as Windows' own clients are refused.
//
// One client context serves the process, under one lock: the library's calls are short, and the
// context is not safe to use from two threads at once. Every call waits for a server at most
// kNetworkTimeoutMs, so that a hung server costs an append a bounded wait before its entry goes
// to the backlog.
#include "internal.h"

#include <libsmbclient.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>

namespace lyrwin {

class NetworkFile {
 public:
  NetworkFile(SMBCFILE* file, std::string url, bool readable)
      : file_(file), url_(std::move(url)), readable_(readable) {}
  SMBCFILE* Handle() const { return file_; }
  const std::string& Url() const { return url_; }
  // Whether the server answers questions about the file through this handle: the client asks
  // for attribute access only with read access.
  bool Readable() const { return readable_; }

 private:
  SMBCFILE* file_;
  std::string url_;
  bool readable_;
};

namespace {

constexpr int kNetworkTimeoutMs = 4000;

struct Client {
  std::mutex mutex;
  SMBCCTX* context = nullptr;
  // Servers that did not answer in time, each until when it counts as down (kDownFor): the
  // calls that follow fail at once rather than wait again, so that an append on a hung server
  // reaches the backlog within the library's own waits. Long enough for the rest of one append,
  // short enough that the next append asks the server again.
  std::map<std::string, std::chrono::steady_clock::time_point> downUntil;
  DWORD loginError = 0;  // why the last login offered was the guest's although a file was there
};

Client& TheClient() {
  static auto* client = new Client;  // never destroyed: detached threads may still close files
  return *client;
}

// Reads `server`'s login. A file that others than its owner may read is not used: the password
// in it is no secret any more (ERROR_ACCESS_DENIED, and the guest is offered instead).
DWORD ReadLogin(const char* server, NetworkLogin* login) {
  *login = NetworkLogin();
  const std::string path = LyrNetworkLoginPath(server);
  struct stat st;
  if (sys::Stat(path.c_str(), &st) != 0) return 0;
  if ((st.st_mode & 077) != 0) return ERROR_ACCESS_DENIED;
  std::string text;
  if (!ReadWholeFile(path, &text)) return ERROR_ACCESS_DENIED;
  ParseNetworkLogin(text, login);
  std::fill(text.begin(), text.end(), '\0');
  return 0;
}

void CopyField(const std::string& value, char* out, int size) {
  if (size <= 0) return;
  std::snprintf(out, static_cast<size_t>(size), "%s", value.c_str());
}

// Called by the client, under the client's lock, when it connects to a server.
void SupplyLogin(SMBCCTX*, const char* server, const char*, char* workgroup, int workgroupSize,
                 char* user, int userSize, char* password, int passwordSize) {
  NetworkLogin login;
  TheClient().loginError = ReadLogin(server, &login);
  CopyField(login.domain, workgroup, workgroupSize);
  CopyField(login.user, user, userSize);
  CopyField(login.password, password, passwordSize);
  std::fill(login.password.begin(), login.password.end(), '\0');
}

// The port servers listen on: 445, or LYRUTIL_SMB_PORT (a test's private server).
uint16_t ServerPort() {
  const char* text = std::getenv("LYRUTIL_SMB_PORT");
  if (text == nullptr || *text == '\0') return 0;  // the client's default
  const long port = std::strtol(text, nullptr, 10);
  return port > 0 && port < 65536 ? static_cast<uint16_t>(port) : 0;
}

// The client's context, made at the first use; null when it cannot be (ERROR_NOT_ENOUGH_MEMORY).
// Call with the client's lock held.
SMBCCTX* Context(Client& client) {
  if (client.context != nullptr) return client.context;
  SMBCCTX* context = smbc_new_context();
  if (context == nullptr) return nullptr;
  smbc_setDebug(context, 0);
  smbc_setFunctionAuthDataWithContext(context, SupplyLogin);
  smbc_setTimeout(context, kNetworkTimeoutMs);
  smbc_setOptionNoAutoAnonymousLogin(context, 0);
  if (uint16_t port = ServerPort()) smbc_setPort(context, port);
  if (smbc_init_context(context) == nullptr) {
    smbc_free_context(context, 1);
    return nullptr;
  }
  client.context = context;
  return context;
}

void AppendEscaped(const std::string& name, std::string* url) {
  static const char kHex[] = "0123456789ABCDEF";
  for (unsigned char c : name) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
        c == '_' || c == '.' || c == '~' || c == ' ') {
      *url += static_cast<char>(c);
    } else {
      *url += '%';
      *url += kHex[c >> 4];
      *url += kHex[c & 15];
    }
  }
}

// smb://server/share/a/b for \\server\share\a\b, the first `parts` components of it.
std::string UrlOf(const DosPath& path, size_t parts) {
  std::string url = "smb://";
  AppendEscaped(path.server, &url);
  url += '/';
  AppendEscaped(path.share, &url);
  for (size_t i = 0; i < parts && i < path.parts.size(); ++i) {
    url += '/';
    AppendEscaped(path.parts[i], &url);
  }
  return url;
}

std::string UrlOf(const DosPath& path) {
  return UrlOf(path, path.parts.size());
}

// The Win32 error a Windows client gets for the client library's errno.
DWORD NetworkErrorFromErrno(int err) {
  switch (err) {
    case ECONNREFUSED:
    case EHOSTUNREACH:
    case ENETUNREACH:
    case EHOSTDOWN:
    case ECONNABORTED:
    case ENETDOWN:
      return ERROR_BAD_NETPATH;
    case ETIMEDOUT:
      return ERROR_SEM_TIMEOUT;
    case ECONNRESET:
    case ENETRESET:
    case EPIPE:
    case ENOTCONN:
      return ERROR_NETNAME_DELETED;
    case EROFS:
      return ERROR_ACCESS_DENIED;
    case EIO:  // what the client reports for a connection that broke in the call
      return ERROR_UNEXP_NET_ERR;
    default:
      return Win32ErrorFromErrno(err);
  }
}

// The error of a failed call on an open file: a connection that is gone, however the client
// found out, means the file's server went away under it, as Windows says of an open file. The
// client reports a share that the server closed under an open file (its administrator did, or it
// ended the session) as an invalid argument: the file's handle no longer names anything there.
DWORD FileCallError(int err) {
  if (err == EINVAL) return ERROR_NETNAME_DELETED;
  const DWORD mapped = NetworkErrorFromErrno(err);
  if (mapped == ERROR_BAD_NETPATH || mapped == ERROR_UNEXP_NET_ERR) return ERROR_NETNAME_DELETED;
  return mapped;
}

bool LostConnection(int err) {
  return err == ECONNRESET || err == ENETRESET || err == EPIPE || err == ENOTCONN ||
         err == ECONNABORTED || err == EIO;
}

// Makes a call that names a file; when the client's connection to the server turns out to be
// gone (a server restarted while nothing was open), connects anew and makes it once more, as
// Windows' redirector reconnects a session that dropped. Files open on the lost connection were
// lost with it. `call` returns 0 or -1 with errno set.
template <class Call>
int Reconnecting(SMBCCTX* context, Call call) {
  const int result = call();
  if (result == 0 || !LostConnection(errno)) return result;
  smbc_getFunctionPurgeCachedServers(context)(context);
  return call();
}

// Why a name on a share was not found: its share is missing (ERROR_BAD_NET_NAME), a folder on
// the way is (ERROR_PATH_NOT_FOUND), or the name itself (ERROR_FILE_NOT_FOUND).
DWORD WhatIsMissing(SMBCCTX* context, const DosPath& path) {
  struct stat st;
  if (smbc_getFunctionStat(context)(context, UrlOf(path, 0).c_str(), &st) != 0)
    return errno == ENOENT ? ERROR_BAD_NET_NAME : NetworkErrorFromErrno(errno);
  if (path.parts.size() > 1 &&
      (smbc_getFunctionStat(context)(context, UrlOf(path, path.parts.size() - 1).c_str(), &st) !=
           0 ||
       !S_ISDIR(st.st_mode)))
    return ERROR_PATH_NOT_FOUND;
  return ERROR_FILE_NOT_FOUND;
}

constexpr auto kDownFor = std::chrono::seconds(2);

std::string ServerKey(const std::string& server) {
  std::string key;
  for (char c : server) key += static_cast<char>(FoldLower(static_cast<unsigned char>(c)));
  return key;
}

// The client's context for a call on `path`'s server: ERROR_SEM_TIMEOUT while the server counts
// as down, ERROR_NOT_ENOUGH_MEMORY without a context. Call with the client's lock held.
DWORD Reach(Client& client, const DosPath& path, SMBCCTX** context) {
  auto down = client.downUntil.find(ServerKey(path.server));
  if (down != client.downUntil.end()) {
    if (std::chrono::steady_clock::now() < down->second) return ERROR_SEM_TIMEOUT;
    client.downUntil.erase(down);
  }
  *context = Context(client);
  return *context != nullptr ? 0 : ERROR_NOT_ENOUGH_MEMORY;
}

// The error of a failed call on `path`, with the client's lock held.
DWORD FailureOn(Client& client, SMBCCTX* context, const DosPath& path, int err) {
  if (err == ETIMEDOUT)
    client.downUntil[ServerKey(path.server)] = std::chrono::steady_clock::now() + kDownFor;
  if (err == ENOENT || err == ENOTDIR) return WhatIsMissing(context, path);
  if ((err == EACCES || err == EPERM) && client.loginError != 0) return ERROR_LOGON_FAILURE;
  return NetworkErrorFromErrno(err);
}

smbc_share_mode ShareModeFrom(unsigned share) {
  const bool read = (share & kAccessRead) != 0;
  const bool write = (share & kAccessWrite) != 0;
  if (read && write) return SMBC_SHAREMODE_DENY_NONE;
  if (read) return SMBC_SHAREMODE_DENY_WRITE;
  if (write) return SMBC_SHAREMODE_DENY_READ;
  return SMBC_SHAREMODE_DENY_ALL;
}

int OpenFlagsFor(unsigned access, DWORD disposition) {
  int flags = (access & kAccessWrite) ? ((access & kAccessRead) ? O_RDWR : O_WRONLY) : O_RDONLY;
  switch (disposition) {
    case CREATE_NEW:
      return flags | O_CREAT | O_EXCL;
    case CREATE_ALWAYS:
      return flags | O_CREAT | O_TRUNC;
    case OPEN_ALWAYS:
      return flags | O_CREAT;
    case TRUNCATE_EXISTING:
      return flags | O_TRUNC;
    default:
      return flags;
  }
}

// Checks what a name on a share must be before a call on it.
DWORD CheckName(const DosPath& path) {
  if (!path.IsNetwork()) return ERROR_INVALID_PARAMETER;
  return CheckComponents(path);
}

// Makes `call(context, url)` on the name `path` under the client's lock, once more on a new
// connection when the old one turns out to be gone. `call` returns 0, or -1 with errno set.
// 0 or the Win32 error of the failure.
template <class Call>
DWORD CallOnName(const DosPath& path, Call call) {
  if (DWORD err = CheckName(path)) return err;
  Client& client = TheClient();
  std::lock_guard<std::mutex> lock(client.mutex);
  SMBCCTX* context = nullptr;
  if (DWORD err = Reach(client, path, &context)) return err;
  const std::string url = UrlOf(path);
  if (Reconnecting(context, [&] { return call(context, url); }) != 0)
    return FailureOn(client, context, path, errno);
  return 0;
}

}  // namespace

void ParseNetworkLogin(std::string_view text, NetworkLogin* login) {
  *login = NetworkLogin();
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    const std::string_view key = line.substr(0, equals);
    const std::string_view value = line.substr(equals + 1);
    if (key == "username" || key == "user")
      login->user.assign(value);
    else if (key == "password" || key == "pass")
      login->password.assign(value);
    else if (key == "domain" || key == "dom" || key == "workgroup")
      login->domain.assign(value);
  }
}

void NetworkFileCloser::operator()(NetworkFile* file) const {
  Client& client = TheClient();
  {
    std::lock_guard<std::mutex> lock(client.mutex);
    if (client.context != nullptr && file->Handle() != nullptr)
      smbc_getFunctionClose(client.context)(client.context, file->Handle());
  }
  delete file;
}

DWORD NetworkOpen(const DosPath& path, unsigned access, unsigned share, DWORD disposition,
                  NetworkFilePtr* file, bool* existed) {
  file->reset();
  *existed = false;
  if (DWORD err = CheckName(path)) return err;
  if (path.parts.empty() || path.trailingSeparator) return ERROR_PATH_NOT_FOUND;
  Client& client = TheClient();
  std::lock_guard<std::mutex> lock(client.mutex);
  SMBCCTX* context = nullptr;
  if (DWORD err = Reach(client, path, &context)) return err;
  const std::string url = UrlOf(path);
  struct stat st;
  if (Reconnecting(context,
                   [&] { return smbc_getFunctionStat(context)(context, url.c_str(), &st); }) == 0) {
    if (S_ISDIR(st.st_mode)) return ERROR_ACCESS_DENIED;
    if (disposition == CREATE_NEW) return ERROR_FILE_EXISTS;
    *existed = true;
  } else if (errno != ENOENT && errno != ENOTDIR) {
    return FailureOn(client, context, path, errno);
  }
  smbc_setOptionOpenShareMode(context, ShareModeFrom(share));
  SMBCFILE* opened =
      smbc_getFunctionOpen(context)(context, url.c_str(), OpenFlagsFor(access, disposition), 0644);
  if (opened == nullptr) {
    const int err = errno;
    if (err == EEXIST) return ERROR_FILE_EXISTS;
    return FailureOn(client, context, path, err);
  }
  file->reset(new NetworkFile(opened, url, (access & kAccessRead) != 0));
  return 0;
}

DWORD NetworkRead(NetworkFile& file, void* data, size_t size, off_t offset, size_t* done) {
  *done = 0;
  Client& client = TheClient();
  std::lock_guard<std::mutex> lock(client.mutex);
  SMBCCTX* context = client.context;
  if (smbc_getFunctionLseek(context)(context, file.Handle(), offset, SEEK_SET) < 0)
    return FileCallError(errno);
  while (*done < size) {
    const ssize_t n = smbc_getFunctionRead(context)(context, file.Handle(),
                                                    static_cast<char*>(data) + *done, size - *done);
    if (n < 0) return FileCallError(errno);
    if (n == 0) break;  // the end of the file
    *done += static_cast<size_t>(n);
  }
  return 0;
}

DWORD NetworkWrite(NetworkFile& file, const void* data, size_t size, off_t offset, size_t* done) {
  *done = 0;
  Client& client = TheClient();
  std::lock_guard<std::mutex> lock(client.mutex);
  SMBCCTX* context = client.context;
  if (smbc_getFunctionLseek(context)(context, file.Handle(), offset, SEEK_SET) < 0)
    return FileCallError(errno);
  while (*done < size) {
    const ssize_t n = smbc_getFunctionWrite(context)(
        context, file.Handle(), static_cast<const char*>(data) + *done, size - *done);
    if (n <= 0) return n < 0 ? FileCallError(errno) : ERROR_WRITE_FAULT;
    *done += static_cast<size_t>(n);
  }
  return 0;
}

DWORD NetworkFileStat(NetworkFile& file, struct stat* st) {
  Client& client = TheClient();
  std::lock_guard<std::mutex> lock(client.mutex);
  SMBCCTX* context = client.context;
  if (file.Readable() && smbc_getFunctionFstat(context)(context, file.Handle(), st) == 0) return 0;
  // A handle opened for writing alone may not ask the server about its file; asking by name
  // needs none of the access that share modes govern, as Windows' own size queries on such
  // handles need none.
  if (smbc_getFunctionStat(context)(context, file.Url().c_str(), st) == 0) return 0;
  return FileCallError(errno);
}

DWORD NetworkTruncate(NetworkFile& file, off_t length) {
  Client& client = TheClient();
  std::lock_guard<std::mutex> lock(client.mutex);
  SMBCCTX* context = client.context;
  if (smbc_getFunctionFtruncate(context)(context, file.Handle(), length) != 0)
    return FileCallError(errno);
  return 0;
}

DWORD NetworkStat(const DosPath& path, struct stat* st) {
  if (DWORD err = CallOnName(path, [&](SMBCCTX* context, const std::string& url) {
        return smbc_getFunctionStat(context)(context, url.c_str(), st);
      }))
    return err;
  if (path.trailingSeparator && !S_ISDIR(st->st_mode)) return ERROR_PATH_NOT_FOUND;
  return 0;
}

DWORD NetworkList(const DosPath& folder, std::vector<NetworkEntry>* entries) {
  entries->clear();
  return CallOnName(folder, [entries](SMBCCTX* context, const std::string& url) {
    SMBCFILE* dir = smbc_getFunctionOpendir(context)(context, url.c_str());
    if (dir == nullptr) return -1;
    entries->clear();
    while (struct smbc_dirent* entry = smbc_getFunctionReaddir(context)(context, dir)) {
      if (entry->smbc_type != SMBC_FILE && entry->smbc_type != SMBC_DIR) continue;
      NetworkEntry found;
      found.name = entry->name;
      if (found.name != "." && found.name != "..") entries->push_back(std::move(found));
    }
    smbc_getFunctionClosedir(context)(context, dir);
    // A name removed since the listing is left out, as a search on Windows leaves it out.
    for (NetworkEntry& entry : *entries) {
      std::string child = url + '/';
      AppendEscaped(entry.name, &child);
      if (smbc_getFunctionStat(context)(context, child.c_str(), &entry.st) != 0) entry.name.clear();
    }
    entries->erase(std::remove_if(entries->begin(), entries->end(),
                                  [](const NetworkEntry& e) { return e.name.empty(); }),
                   entries->end());
    return 0;
  });
}

DWORD NetworkDelete(const DosPath& path) {
  return CallOnName(path, [](SMBCCTX* context, const std::string& url) {
    return smbc_getFunctionUnlink(context)(context, url.c_str());
  });
}

DWORD NetworkCreateFolder(const DosPath& path) {
  if (path.IsNetwork() && path.parts.empty()) return ERROR_ALREADY_EXISTS;  // the share itself
  return CallOnName(path, [](SMBCCTX* context, const std::string& url) {
    return smbc_getFunctionMkdir(context)(context, url.c_str(), 0755);
  });
}

DWORD NetworkRemoveFolder(const DosPath& path) {
  return CallOnName(path, [](SMBCCTX* context, const std::string& url) {
    return smbc_getFunctionRmdir(context)(context, url.c_str());
  });
}

DWORD NetworkSetReadOnly(const DosPath& path, bool readOnly) {
  return CallOnName(path, [readOnly](SMBCCTX* context, const std::string& url) {
    struct stat st;
    if (smbc_getFunctionStat(context)(context, url.c_str(), &st) != 0) return -1;
    if (S_ISDIR(st.st_mode)) return 0;
    // The client sets the read-only attribute for a mode without write permission.
    return smbc_getFunctionChmod(context)(context, url.c_str(), readOnly ? 0444 : 0644);
  });
}

DWORD NetworkMove(const DosPath& from, const DosPath& to) {
  if (DWORD err = CheckName(to)) return err;
  if (!EqualNoCase(from.server, to.server) || !EqualNoCase(from.share, to.share))
    return ERROR_NOT_SAME_DEVICE;
  const std::string target = UrlOf(to);
  return CallOnName(from, [&target](SMBCCTX* context, const std::string& url) {
    struct stat st;
    if (smbc_getFunctionStat(context)(context, target.c_str(), &st) == 0) {
      errno = EEXIST;  // MoveFile never replaces
      return -1;
    }
    return smbc_getFunctionRename(context)(context, url.c_str(), context, target.c_str());
  });
}

}  // namespace lyrwin

std::string LyrNetworkLoginPath(const char* server) {
  while (*server == '\\' || *server == '/') ++server;
  std::string name;
  for (const char* c = server; *c && *c != '\\' && *c != '/'; ++c)
    name += static_cast<char>(lyrwin::FoldLower(static_cast<unsigned char>(*c)));
  return lyrwin::PrefixDir() + "/network-logins/" + name;
}
