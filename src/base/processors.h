// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The processors this process may run on (its CPU affinity, so a run under taskset or in a
// limited container counts only what it gets); at least 1.
int UsableProcessors();

// A thread or job count asked for: `wanted`, or every usable processor when it is 0 or less.
inline int ThreadsOrAll(int wanted) {
  return wanted > 0 ? wanted : UsableProcessors();
}
