// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// How much more memory the system lets this process take: the free memory of the machine, the
// process's own limits and those of the control groups it runs in, whichever is least.

#include <sys/resource.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>

#include "imaging/imaging.h"

namespace {

// The number behind `key` in a "Key:   123 kB" file such as /proc/meminfo, in bytes; -1 when
// the file or the key is missing.
int64_t KilobyteField(const char* path, const std::string& key) {
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (line.compare(0, key.size(), key) != 0) continue;
    std::istringstream fields(line.substr(key.size()));
    int64_t kilobytes = -1;
    if (fields >> kilobytes) return kilobytes * 1024;
  }
  return -1;
}

// A control group file holding one number, or "max"; -1 when missing or without a limit.
int64_t CgroupNumber(const std::string& path) {
  std::ifstream in(path);
  std::string text;
  if (!(in >> text) || text == "max") return -1;
  try {
    return std::stoll(text);
  } catch (const std::exception&) {
    return -1;
  }
}

}  // namespace

int64_t ImgMemoryAllowance() {
  int64_t allowance = std::numeric_limits<int64_t>::max();
  auto lower = [&allowance](int64_t room) {
    allowance = std::min(allowance, std::max<int64_t>(room, 0));
  };

  const int64_t available = KilobyteField("/proc/meminfo", "MemAvailable:");
  if (available >= 0) lower(available);

  rlimit limit{};
  if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
    lower(static_cast<int64_t>(limit.rlim_cur) -
          std::max<int64_t>(0, KilobyteField("/proc/self/status", "VmSize:")));
  }
  if (getrlimit(RLIMIT_DATA, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
    lower(static_cast<int64_t>(limit.rlim_cur) -
          std::max<int64_t>(0, KilobyteField("/proc/self/status", "VmData:")));
  }

  // Control groups: each line of /proc/self/cgroup is "number:controllers:path". The memory
  // controller of version 1 has its own tree; version 2 has one tree for all ("0::/path").
  // Every group above the process's own may hold a limit too.
  std::ifstream groups("/proc/self/cgroup");
  std::string line;
  while (std::getline(groups, line)) {
    const size_t first = line.find(':');
    const size_t second = line.find(':', first + 1);
    if (first == std::string::npos || second == std::string::npos) continue;
    const std::string controllers = line.substr(first + 1, second - first - 1);
    std::string root, limitFile, usageFile;
    if (controllers == "memory") {
      root = "/sys/fs/cgroup/memory";
      limitFile = "/memory.limit_in_bytes";
      usageFile = "/memory.usage_in_bytes";
    } else if (controllers.empty() && line.compare(0, first, "0") == 0) {
      root = "/sys/fs/cgroup";
      limitFile = "/memory.max";
      usageFile = "/memory.current";
    } else {
      continue;
    }
    // The process's group, then each group above it up to the root.
    std::string group = line.substr(second + 1);
    while (true) {
      const int64_t most = CgroupNumber(root + group + limitFile);
      const int64_t used = CgroupNumber(root + group + usageFile);
      if (most >= 0 && used >= 0) lower(most - used);
      const size_t slash = group.find_last_of('/');
      if (slash == std::string::npos || group == "/") break;
      group = slash == 0 ? "/" : group.substr(0, slash);
    }
  }
  return allowance;
}
