// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Registers the pictures of the information windows (the title picture and the link cursor),
// which live in the GUI library's compiled-in resources under ":/quillane/".
void LoadInfoResources();
