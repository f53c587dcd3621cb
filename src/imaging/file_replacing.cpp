// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "imaging/file_replacing.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <functional>

#include "base/language.h"

namespace {

// Links followed before giving up, as the kernel does.
constexpr int kMaxLinks = 40;

// The temporary files being written, for RemovePartialFileNow; paintings side by side write
// at the same time. A slot is free (0), being named (1) or names a file that exists (2). Their
// names are short (".qln" and six characters) so that they fit wherever the name they replace
// fits.
constexpr int kSlots = 64;
struct PartialSlot {
  std::atomic<int> state{0};
  char path[PATH_MAX + 16];
};
PartialSlot partials[kSlots];
static_assert(std::atomic<int>::is_always_lock_free);
// Set once the program is ending by a signal: no temporary file is created after that. A signal
// is taken by any thread, also while another creates a file, so the two meet through these
// atomics (sequentially consistent): either the creator sees the end coming and creates nothing,
// or the ending thread sees the slot being named and waits for the file to be there.
std::atomic<int> ending{0};

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The signals on which the renderer removes a partial file; blocked while the name of the
// file being created and the flag that says it exists disagree.
class SignalsHeld {
 public:
  SignalsHeld() {
    sigset_t set;
    sigemptyset(&set);
    for (int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&set, s);
    pthread_sigmask(SIG_BLOCK, &set, &old_);
  }
  ~SignalsHeld() { pthread_sigmask(SIG_SETMASK, &old_, nullptr); }

 private:
  sigset_t old_;
};

// Creates a new temporary file in `folder` with `mode` (the umask applies as to any new
// file); -1 on failure. Its name goes to the slot claimed in *slot (null when every slot was
// taken: the file is then written without being removed on a signal).
int CreatePartialFile(const std::string& folder, mode_t mode, PartialSlot** slot, char* path) {
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  *slot = nullptr;
  if (folder.size() + 12 > PATH_MAX) return -1;
  // A signal taken on this thread while its slot is being named would wait for itself.
  const SignalsHeld held;
  for (PartialSlot& candidate : partials) {
    int free = 0;
    if (candidate.state.compare_exchange_strong(free, 1)) {
      *slot = &candidate;
      break;
    }
  }
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  uint64_t seed = static_cast<uint64_t>(now.tv_nsec) ^ (static_cast<uint64_t>(getpid()) << 20) ^
                  reinterpret_cast<uintptr_t>(path);
  for (int attempt = 0; attempt < 100; ++attempt) {
    char name[12] = ".qln";
    for (int i = 4; i < 10; ++i) {
      seed = seed * 6364136223846793005ull + 1442695040888963407ull;
      name[i] = kLetters[(seed >> 33) % (sizeof kLetters - 1)];
    }
    name[10] = '\0';
    std::snprintf(path, PATH_MAX + 16, "%s/%s", folder.c_str(), name);
    if (ending.load() != 0) break;
    if (*slot != nullptr) std::memcpy((*slot)->path, path, PATH_MAX + 16);
    const int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd >= 0) {
      if (*slot != nullptr) (*slot)->state.store(2);
      return fd;
    }
    if (errno != EEXIST) break;
  }
  if (*slot != nullptr) (*slot)->state.store(0);
  *slot = nullptr;
  return -1;
}

void ForgetPartialFile(PartialSlot* slot, const char* path, bool remove) {
  const SignalsHeld held;
  if (remove) unlink(path);
  if (slot != nullptr) slot->state.store(0);
}

constexpr char kCannotWrite[] = TrNoop("cannot write '%1': %2");

// What a path that is no regular file names, for messages.
const char* KindOf(mode_t mode) {
  if (S_ISDIR(mode)) return Tr("a folder");
  if (S_ISFIFO(mode)) return Tr("a named pipe");
  if (S_ISSOCK(mode)) return Tr("a socket");
  if (S_ISCHR(mode) || S_ISBLK(mode)) return Tr("a device");
  return Tr("not a regular file");
}

std::string NotARegularFile(const std::string& path, mode_t mode) {
  return TrFormat("'%1' is %2, not a regular file", {path, KindOf(mode)});
}

bool WriteAll(int fd, const uint8_t* data, size_t size) {
  while (size > 0) {
    const ssize_t n = write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

std::string FinalTargetOf(const std::string& path) {
  std::string current = path;
  for (int i = 0; i < kMaxLinks; ++i) {
    struct stat info {};
    if (lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return current;
    char buffer[PATH_MAX];
    const ssize_t n = readlink(current.c_str(), buffer, sizeof buffer - 1);
    if (n <= 0) return current;
    const std::string target(buffer, static_cast<size_t>(n));
    current = target[0] == '/' ? target : FolderOf(current) + "/" + target;
  }
  return current;
}

bool CanWriteFileAt(const std::string& path, std::string* problem) {
  const std::string target = FinalTargetOf(path);
  const std::string folder = FolderOf(target);
  const std::string name = NameOf(target);
  struct stat info {};
  if (name.empty() || name == "." || name == "..") {
    *problem = TrFormat("'%1' names a folder, not a file", {path});
    return false;
  }
  if (target.size() >= PATH_MAX) {
    *problem = TrFormat("the path '%1' is too long", {path});
    return false;
  }
  if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
    *problem = TrFormat("the folder of '%1' does not exist", {path});
    return false;
  }
  const long nameMax = pathconf(folder.c_str(), _PC_NAME_MAX);
  if (nameMax > 0 && name.size() > static_cast<size_t>(nameMax)) {
    *problem = TrFormat("the name of '%1' is too long (at most %2 bytes)",
                        {path, std::to_string(nameMax)});
    return false;
  }
  if (access(folder.c_str(), W_OK | X_OK) != 0) {
    *problem = TrFormat("cannot write in the folder of '%1': %2", {path, std::strerror(errno)});
    return false;
  }
  if (stat(target.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
    *problem = S_ISDIR(info.st_mode) ? TrFormat("'%1' is a folder", {path})
                                     : NotARegularFile(path, info.st_mode);
    return false;
  }
  return true;
}

bool ReplaceFileByWriting(const std::string& path,
                          const std::function<bool(const char* partial)>& write,
                          std::string* problem) {
  const std::string target = FinalTargetOf(path);
  std::string unused;
  std::string& why = problem != nullptr ? *problem : unused;
  struct stat old {};
  const bool exists = stat(target.c_str(), &old) == 0;
  if (exists && !S_ISREG(old.st_mode)) {
    why = NotARegularFile(path, old.st_mode);
    return false;
  }
  // The first failure's errno is the reason; later steps only clean up.
  int error = 0;
  auto failed = [&error] {
    if (error == 0) error = errno != 0 ? errno : EIO;
    return false;
  };
  PartialSlot* slot = nullptr;
  char partialPath[PATH_MAX + 16];
  errno = 0;
  const int fd = CreatePartialFile(FolderOf(target), exists ? (old.st_mode & 07777) : 0666, &slot,
                                   partialPath);
  if (fd < 0) {
    failed();
    why = TrFormat(kCannotWrite, {path, std::strerror(error)});
    return false;
  }
  bool ok = true;
  if (exists) {
    // The owner can only be kept by root; the group by a member of it. A failure here leaves
    // the writer's own, as for a new file.
    if (fchown(fd, old.st_uid, old.st_gid) != 0) {
      [[maybe_unused]] const int groupKept = fchown(fd, static_cast<uid_t>(-1), old.st_gid);
    }
    ok = fchmod(fd, old.st_mode & 07777) == 0 || failed();
  }
  // The writer opens the file by its name and writes it over; it keeps the mode set here.
  errno = 0;
  ok = ok && (write(partialPath) || failed()) && (fsync(fd) == 0 || failed());
  ok = (close(fd) == 0 || failed()) && ok;
  ok = ok && (rename(partialPath, target.c_str()) == 0 || failed());
  ForgetPartialFile(slot, partialPath, !ok);
  if (!ok) why = TrFormat(kCannotWrite, {path, std::strerror(error)});
  return ok;
}

bool ReplaceFileWith(const std::string& path, const uint8_t* data, size_t size,
                     std::string* problem) {
  return ReplaceFileByWriting(
      path,
      [&](const char* partial) {
        const int fd = open(partial, O_WRONLY | O_TRUNC | O_CLOEXEC);
        if (fd < 0) return false;
        const bool written = WriteAll(fd, data, size);
        const int error = errno;
        const bool closed = close(fd) == 0;
        if (!written) errno = error != 0 ? error : ENOSPC;
        return closed && written;
      },
      problem);
}

void RemovePartialFileNow() {
  ending.store(1);
  // Files being created on other threads at this moment are waited for (a single open call
  // each), so that they are removed too. Bounded: the program ends regardless.
  for (int waited = 0; waited < 2000; ++waited) {
    bool naming = false;
    for (const PartialSlot& slot : partials) naming = naming || slot.state.load() == 1;
    if (!naming) break;
    const timespec pause{0, 1000000};
    nanosleep(&pause, nullptr);
  }
  for (PartialSlot& slot : partials) {
    if (slot.state.load() == 2) unlink(slot.path);
  }
}
