// The registry functions over system.reg.
//
// Every change re-reads the file, applies itself and rewrites the file in place (with a journal
// for a crash in between, see in_place_rewrite.cpp) under an exclusive lock on system.reg.lock,
// so that two processes changing the registry at once never lose each other's writes; reads take
// the same lock shared, so they see the file before or after a change, never halfway. A key
// handle remembers its hive and path, not a node, so every call sees the file as it is now.
//
// Write access follows the file's permission bits (not the kernel's verdict, which lets root
// write anything): with no write bit, opening a key for writing fails with ERROR_ACCESS_DENIED,
// as it does on Windows for a user without rights on HKEY_LOCAL_MACHINE.
#include "internal.h"
#include "reg_file.h"

#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <unordered_map>

namespace lyrwin {
namespace {

constexpr REGSAM kWriteRights = KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK |
                                0x00010000 /* DELETE */ | 0x00040000 /* WRITE_DAC */ |
                                0x00080000 /* WRITE_OWNER */;
constexpr size_t kMaxKeyName = 255;

struct OpenKey {
  int hive = 0;
  std::vector<std::string> path;
  REGSAM access = 0;
};

using KeyTable = std::unordered_map<uintptr_t, OpenKey>;
std::mutex g_keyMutex;
KeyTable g_keys;  // guarded by g_keyMutex
// Closed keys' entries, for the next opens (guarded by g_keyMutex): the suite opens and closes
// its installation key on every audited append.
SpareEntries<KeyTable, 16> g_spareKeys;
uintptr_t g_nextKey = 0x1000;

int PredefinedHive(HKEY key) {
  if (key == HKEY_CLASSES_ROOT) return kClassesRoot;
  if (key == HKEY_CURRENT_USER) return kCurrentUser;
  if (key == HKEY_LOCAL_MACHINE) return kLocalMachine;
  return -1;
}

bool LookupKey(HKEY key, OpenKey* out) {
  int hive = PredefinedHive(key);
  if (hive >= 0) {
    out->hive = hive;
    out->path.clear();
    out->access = KEY_ALL_ACCESS;
    return true;
  }
  std::lock_guard<std::mutex> lock(g_keyMutex);
  auto it = g_keys.find(reinterpret_cast<uintptr_t>(key));
  if (it == g_keys.end()) return false;
  *out = it->second;
  return true;
}

HKEY NewKeyHandle(const OpenKey& key) {
  std::lock_guard<std::mutex> lock(g_keyMutex);
  uintptr_t value = g_nextKey;
  g_nextKey += 4;
  g_spareKeys.Insert(g_keys, value, key);
  return reinterpret_cast<HKEY>(value);
}

bool RegistryWritable() {
  struct stat st;
  if (lyrwin::sys::Stat(RegistryFile().c_str(), &st) != 0) return true;  // made on the first write
  return !IsReadOnlyMode(st.st_mode);
}

// The registry's text from an open descriptor: what an interrupted rewrite left in its journal,
// else the file.
bool ReadRegistryText(int fd, std::string* text) {
  if (InterruptedRewrite(fd, text)) return true;
  text->clear();
  if (lyrwin::sys::Lseek(fd, 0, SEEK_SET) < 0) return false;
  char buffer[65536];
  for (;;) {
    ssize_t n = ReadFull(fd, buffer, sizeof buffer);
    if (n < 0) return false;
    text->append(buffer, static_cast<size_t>(n));
    if (static_cast<size_t>(n) < sizeof buffer) return true;
  }
}

// The registry as parsed, kept while the file is unchanged, so that a query costs a counter read
// and a stat rather than a parse of the whole file. It is safe because every change is seen:
// - every change through the stand-in bumps a counter at the start of system.reg.lock, under
//   the writers' lock and before it touches the file, so even a writer killed halfway (whose
//   journal readers then go by) is seen, whatever the file system's time resolution;
// - a change by another program (an editor, an import) changes the file's identity (a new file
//   by rename), its size, or its modification and change times, kept to the nanosecond.
// The one change that could pass unseen is a same-size edit in place by another program within
// one tick of a file system whose times are coarse; on such a file system the next tick shows it.
// A query that finds both unchanged needs no lock: the counter is bumped before the file is
// touched, so an unchanged counter read before an unchanged file means that no change had begun
// when the counter was read, and the tree kept is the registry as it stood then. The counter is
// read through a descriptor kept open on the lock file (opened again at each parse, so that a
// lock file made anew is followed).
struct RegistryCache {
  std::mutex mutex;
  bool valid = false;
  uint64_t counter = 0;
  struct stat file = {};
  std::shared_ptr<const RegTree> tree;
  std::string lockPath;
  int lockFd = -1;
};

RegistryCache& Cache() {
  static RegistryCache cache;
  return cache;
}

uint64_t ReadChangeCounter(int lockFd) {
  uint64_t counter = 0;
  if (lyrwin::sys::Pread(lockFd, &counter, sizeof counter, 0) !=
      static_cast<ssize_t>(sizeof counter))
    return 0;
  return counter;
}

void BumpChangeCounter(int lockFd) {
  uint64_t counter = ReadChangeCounter(lockFd) + 1;
  if (lyrwin::sys::Pwrite(lockFd, &counter, sizeof counter, 0) !=
      static_cast<ssize_t>(sizeof counter))
    lyrwin::sys::Ftruncate(lockFd,
                           0);  // an unreadable counter reads as 0, which no cache holds for long
}

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
         a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec &&
         a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

// Whether `lockPath` is `file` followed by ".lock" (compared without making that name).
bool IsLockFileOf(const std::string& lockPath, const std::string& file) {
  return lockPath.size() == file.size() + 5 && lockPath.compare(0, file.size(), file) == 0 &&
         lockPath.compare(file.size(), 5, ".lock") == 0;
}

// The tree kept, when neither the counter nor the file has changed since it was parsed; `st`
// receives the file's stat when it was taken.
std::shared_ptr<const RegTree> UnchangedTree(const std::string& file, struct stat* st, bool* seen) {
  RegistryCache& cache = Cache();
  std::lock_guard<std::mutex> guard(cache.mutex);
  if (!cache.valid || cache.lockFd < 0 || !IsLockFileOf(cache.lockPath, file)) return nullptr;
  if (ReadChangeCounter(cache.lockFd) != cache.counter) return nullptr;
  *seen = lyrwin::sys::Stat(file.c_str(), st) == 0;
  return *seen && SameFile(cache.file, *st) ? cache.tree : nullptr;
}

// Keeps a parse, with a descriptor on the lock file for the next queries' counter reads.
void KeepTree(const std::string& file, bool known, uint64_t counter, const struct stat& st,
              std::shared_ptr<const RegTree> tree) {
  RegistryCache& cache = Cache();
  std::lock_guard<std::mutex> guard(cache.mutex);
  if (cache.lockFd >= 0) lyrwin::CloseRetrying(cache.lockFd);
  cache.lockPath = file + ".lock";
  cache.lockFd = known ? lyrwin::OpenRetrying(cache.lockPath.c_str(), O_RDONLY | O_CLOEXEC) : -1;
  cache.valid = known && cache.lockFd >= 0;
  cache.counter = counter;
  cache.file = st;
  cache.tree = std::move(tree);
}

// The registry as it stands. `writable`, when given, receives whether the file may be written, from
// the stat taken here: a missing file is made on the first write.
std::shared_ptr<const RegTree> LoadTree(bool* writable = nullptr) {
  const std::string& file = RegistryFile();
  struct stat st = {};
  bool seen = false;
  auto answer = [&](std::shared_ptr<const RegTree> tree) {
    if (writable) *writable = !seen || !IsReadOnlyMode(st.st_mode);
    return tree;
  };
  if (auto kept = UnchangedTree(file, &st, &seen)) return answer(kept);
  FileLock lock(file + ".lock", false, true);
  const uint64_t counter = lock.Held() ? ReadChangeCounter(lock.Descriptor()) : 0;
  // The file as it stands is known by a stat of its name; it is opened only to be read again.
  seen = false;
  if (lock.Held() && lyrwin::sys::Stat(file.c_str(), &st) == 0) {
    seen = true;
    RegistryCache& cache = Cache();
    std::lock_guard<std::mutex> guard(cache.mutex);
    if (cache.valid && cache.counter == counter && SameFile(cache.file, st))
      return answer(cache.tree);
  }
  int fd = OpenRetrying(file.c_str(), O_RDONLY);
  if (fd < 0) return answer(std::make_shared<const RegTree>());
  seen = lyrwin::sys::Fstat(fd, &st) == 0;
  const bool known = seen && lock.Held();
  auto tree = std::make_shared<RegTree>();
  std::string text;
  if (ReadRegistryText(fd, &text)) ParseRegText(text, tree.get());
  CloseRetrying(fd);
  KeepTree(file, known, counter, st, tree);
  return answer(tree);
}

const RegKey* FindNode(const RegTree& tree, int hive, const std::vector<std::string>& path) {
  const RegKey* node = &tree.hives[hive];
  for (const std::string& part : path) {
    node = node->Child(part);
    if (node == nullptr) return nullptr;
  }
  return node;
}

RegKey* FindNode(RegTree* tree, int hive, const std::vector<std::string>& path) {
  RegKey* node = &tree->hives[hive];
  for (const std::string& part : path) {
    node = node->Child(part);
    if (node == nullptr) return nullptr;
  }
  return node;
}

// Runs `change` on the registry under the lock and saves the result when it returns 0 and
// reports a change.
template <class Change>
LSTATUS Modify(Change change) {
  std::string file = RegistryFile();
  if (file == "/system.reg") return ERROR_REGISTRY_IO_FAILED;  // no prefix
  FileLock lock(file + ".lock");
  if (!lock.Held()) return ERROR_REGISTRY_IO_FAILED;
  struct Descriptor {
    int fd;
    ~Descriptor() {
      if (fd >= 0) CloseRetrying(fd);
    }
  } registry{OpenRetrying(file.c_str(), O_RDWR | O_CREAT, 0666)};
  BumpChangeCounter(lock.Descriptor());
  if (registry.fd < 0 || FinishInterruptedRewrite(registry.fd) != 0)
    return ERROR_REGISTRY_IO_FAILED;
  std::string before;
  if (!ReadRegistryText(registry.fd, &before)) return ERROR_REGISTRY_IO_FAILED;
  RegTree tree;
  ParseRegText(before, &tree);
  bool changed = false;
  LSTATUS status = change(&tree, &changed);
  if (status != ERROR_SUCCESS || !changed) return status;
  // A registry that could not be read whole is never written back: the change fails instead.
  if (!tree.whole) return ERROR_REGISTRY_CORRUPT;
  return RewriteInPlace(registry.fd, before, FormatRegText(tree)) == 0 ? ERROR_SUCCESS
                                                                       : ERROR_REGISTRY_IO_FAILED;
}

LSTATUS ValidateSubKey(LPCSTR subKey, std::vector<std::string>* parts) {
  parts->clear();
  if (subKey == nullptr || *subKey == '\0') return ERROR_SUCCESS;
  if (subKey[0] == '\\') return ERROR_BAD_PATHNAME;
  SplitKeyPath(subKey, parts);
  for (const std::string& part : *parts) {
    if (part.size() > kMaxKeyName) return ERROR_INVALID_PARAMETER;
  }
  return ERROR_SUCCESS;
}

LSTATUS CreateKey(HKEY hKey, LPCSTR lpSubKey, REGSAM samDesired, PHKEY phkResult,
                  LPDWORD lpdwDisposition) {
  if (phkResult == nullptr) return ERROR_INVALID_PARAMETER;
  OpenKey base;
  if (!LookupKey(hKey, &base)) return ERROR_INVALID_HANDLE;
  std::vector<std::string> parts;
  LSTATUS status = ValidateSubKey(lpSubKey, &parts);
  if (status != ERROR_SUCCESS) return status;
  if (!RegistryWritable()) return ERROR_ACCESS_DENIED;
  OpenKey result = base;
  result.access = samDesired;
  DWORD disposition = REG_OPENED_EXISTING_KEY;
  status = Modify([&](RegTree* tree, bool* changed) -> LSTATUS {
    RegKey* node = FindNode(tree, base.hive, base.path);
    if (node == nullptr) return ERROR_KEY_DELETED;
    for (const std::string& part : parts) {
      RegKey* child = node->Child(part);
      if (child == nullptr) {
        child = node->AddChild(part);
        disposition = REG_CREATED_NEW_KEY;
        *changed = true;
      }
      result.path.push_back(child->name);
      node = child;
    }
    return ERROR_SUCCESS;
  });
  if (status != ERROR_SUCCESS) return status;
  if (lpdwDisposition) *lpdwDisposition = disposition;
  *phkResult = NewKeyHandle(result);
  return ERROR_SUCCESS;
}

}  // namespace
}  // namespace lyrwin

using namespace lyrwin;

extern "C" LSTATUS WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, REGSAM samDesired,
                                        PHKEY phkResult) {
  if (phkResult == nullptr) return ERROR_INVALID_PARAMETER;
  // Kept from call to call, so that their room serves the thread's next open.
  thread_local OpenKey base, result;
  thread_local std::vector<std::string> parts;
  if (!LookupKey(hKey, &base)) return ERROR_INVALID_HANDLE;
  LSTATUS status = ValidateSubKey(lpSubKey, &parts);
  if (status != ERROR_SUCCESS) return status;
  bool writable = true;
  std::shared_ptr<const RegTree> tree = LoadTree(&writable);
  const RegKey* node = FindNode(*tree, base.hive, base.path);
  if (node == nullptr) return ERROR_KEY_DELETED;
  result = base;
  result.access = samDesired;
  for (const std::string& part : parts) {
    node = node->Child(part);
    if (node == nullptr) return ERROR_FILE_NOT_FOUND;
    result.path.push_back(node->name);
  }
  if ((samDesired & kWriteRights) && !writable) return ERROR_ACCESS_DENIED;
  *phkResult = NewKeyHandle(result);
  return ERROR_SUCCESS;
}

extern "C" LSTATUS WINAPI RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, LPSTR, DWORD,
                                          REGSAM samDesired, const LPSECURITY_ATTRIBUTES,
                                          PHKEY phkResult, LPDWORD lpdwDisposition) {
  return CreateKey(hKey, lpSubKey, samDesired, phkResult, lpdwDisposition);
}

extern "C" LSTATUS WINAPI RegCreateKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult) {
  if (phkResult == nullptr) return ERROR_INVALID_PARAMETER;
  // Without a sub key RegCreateKey hands back the key it was given.
  if (lpSubKey == nullptr || *lpSubKey == '\0') {
    OpenKey base;
    if (!LookupKey(hKey, &base)) return ERROR_INVALID_HANDLE;
    *phkResult = hKey;
    return ERROR_SUCCESS;
  }
  return CreateKey(hKey, lpSubKey, KEY_ALL_ACCESS, phkResult, nullptr);
}

extern "C" LSTATUS WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD, LPDWORD lpType,
                                           LPBYTE lpData, LPDWORD lpcbData) {
  thread_local OpenKey key;  // its room serves the thread's next query
  if (!LookupKey(hKey, &key)) return ERROR_INVALID_HANDLE;
  if (lpData != nullptr && lpcbData == nullptr) return ERROR_INVALID_PARAMETER;
  std::shared_ptr<const RegTree> tree = LoadTree();
  const RegKey* node = FindNode(*tree, key.hive, key.path);
  if (node == nullptr) return ERROR_KEY_DELETED;
  const RegValue* value = node->Value(lpValueName ? lpValueName : "");
  if (value == nullptr) return ERROR_FILE_NOT_FOUND;
  if (lpType) *lpType = value->type;
  const DWORD size = static_cast<DWORD>(value->data.size());
  if (lpData == nullptr) {
    if (lpcbData) *lpcbData = size;
    return ERROR_SUCCESS;
  }
  if (*lpcbData < size) {
    *lpcbData = size;
    return ERROR_MORE_DATA;
  }
  std::memcpy(lpData, value->data.data(), size);
  *lpcbData = size;
  return ERROR_SUCCESS;
}

extern "C" LSTATUS WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD, DWORD dwType,
                                         const BYTE* lpData, DWORD cbData) {
  OpenKey key;
  if (!LookupKey(hKey, &key)) return ERROR_INVALID_HANDLE;
  if (lpData == nullptr && cbData != 0) return ERROR_INVALID_PARAMETER;
  if (!(key.access & KEY_SET_VALUE) || !RegistryWritable()) return ERROR_ACCESS_DENIED;
  std::string data(reinterpret_cast<const char*>(lpData), lpData ? cbData : 0);
  // Windows adds the terminator that a caller left off a string's size.
  if ((dwType == REG_SZ || dwType == REG_EXPAND_SZ) && (data.empty() || data.back() != '\0'))
    data += '\0';
  std::string name = lpValueName ? lpValueName : "";
  return Modify([&](RegTree* tree, bool* changed) -> LSTATUS {
    RegKey* node = FindNode(tree, key.hive, key.path);
    if (node == nullptr) return ERROR_KEY_DELETED;
    node->SetValue(name, dwType, data);
    *changed = true;
    return ERROR_SUCCESS;
  });
}

extern "C" LSTATUS WINAPI RegSetValueA(HKEY hKey, LPCSTR lpSubKey, DWORD dwType, LPCSTR lpData,
                                       DWORD) {
  if (dwType != REG_SZ || lpData == nullptr) return ERROR_INVALID_PARAMETER;
  HKEY target = hKey;
  bool opened = lpSubKey != nullptr && *lpSubKey != '\0';
  if (opened) {
    LSTATUS status = CreateKey(hKey, lpSubKey, KEY_ALL_ACCESS, &target, nullptr);
    if (status != ERROR_SUCCESS) return status;
  }
  LSTATUS status = RegSetValueExA(target, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(lpData),
                                  static_cast<DWORD>(std::strlen(lpData) + 1));
  if (opened) RegCloseKey(target);
  return status;
}

extern "C" LSTATUS WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) {
  OpenKey base;
  if (!LookupKey(hKey, &base)) return ERROR_INVALID_HANDLE;
  std::vector<std::string> parts;
  LSTATUS status = ValidateSubKey(lpSubKey, &parts);
  if (status != ERROR_SUCCESS) return status;
  if (parts.empty()) return ERROR_INVALID_PARAMETER;
  if (!RegistryWritable()) return ERROR_ACCESS_DENIED;
  return Modify([&](RegTree* tree, bool* changed) -> LSTATUS {
    RegKey* parent = FindNode(tree, base.hive, base.path);
    if (parent == nullptr) return ERROR_KEY_DELETED;
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
      parent = parent->Child(parts[i]);
      if (parent == nullptr) return ERROR_FILE_NOT_FOUND;
    }
    RegKey* victim = parent->Child(parts.back());
    if (victim == nullptr) return ERROR_FILE_NOT_FOUND;
    // A key with sub keys cannot be deleted by RegDeleteKey.
    if (!victim->children.empty()) return ERROR_ACCESS_DENIED;
    parent->RemoveChild(parts.back());
    *changed = true;
    return ERROR_SUCCESS;
  });
}

extern "C" LSTATUS WINAPI RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
  OpenKey key;
  if (!LookupKey(hKey, &key)) return ERROR_INVALID_HANDLE;
  if (!(key.access & KEY_SET_VALUE) || !RegistryWritable()) return ERROR_ACCESS_DENIED;
  std::string name = lpValueName ? lpValueName : "";
  return Modify([&](RegTree* tree, bool* changed) -> LSTATUS {
    RegKey* node = FindNode(tree, key.hive, key.path);
    if (node == nullptr) return ERROR_KEY_DELETED;
    if (!node->RemoveValue(name)) return ERROR_FILE_NOT_FOUND;
    *changed = true;
    return ERROR_SUCCESS;
  });
}

extern "C" LSTATUS WINAPI RegCloseKey(HKEY hKey) {
  if (PredefinedHive(hKey) >= 0) return ERROR_SUCCESS;
  std::lock_guard<std::mutex> lock(g_keyMutex);
  KeyTable::node_type entry = g_keys.extract(reinterpret_cast<uintptr_t>(hKey));
  if (entry.empty()) return ERROR_INVALID_HANDLE;
  g_spareKeys.Keep(std::move(entry));
  return ERROR_SUCCESS;
}
