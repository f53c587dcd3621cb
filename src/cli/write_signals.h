// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Signals while the renderer writes its result. A finished painting is worth the seconds its
// file takes: the first Ctrl-C only says so, a second abandons the file. SIGTERM and SIGHUP
// end the program at once. Whatever ends the write early removes the part already written.

// Installs the handlers. `interruptedBefore`: a Ctrl-C already stopped the painting, so the
// next one is the second and abandons the file at once.
void InstallWriteSignals(bool interruptedBefore);
// A Ctrl-C that came after the painting had finished: the first one of the write.
void TakeInterruptDuringWrite();
// Back to the default actions.
void RemoveWriteSignals();

// SIGTERM and SIGHUP end the program, removing the temporary files being written, while
// paintings and writes run side by side (a batch).
void InstallEndSignals();
// Removes the temporary files being written and ends the program by `signal`. Safe in a signal
// handler.
void EndProgramBySignal(int signal);
