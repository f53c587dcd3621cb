// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// 'Your Picture List': list box 1002 of the main window and the 300-byte slots behind it.

#include <QStringList>

class TableDialog;

constexpr int kNoAnchor = -1;

// Refills list box 1002 from the picture list and selects the anchor line (all lines for none).
void RebuildPictureListBox(TableDialog* mainWindow, int anchor);
// 'Add' (1005): chooses files and appends them.
void AddPicturesToList(TableDialog* mainWindow);
// 'Remove' (1006): removes the selected entries.
void RemovePicturesFromList(TableDialog* mainWindow);
// Files dropped on the list box.
void DropFilesOnList(TableDialog* mainWindow, const QStringList& paths);
// Ctrl Z in list box 1002 puts back what the last 'Remove' took away (several levels); Delete
// removes like 'Remove'.
void InstallPictureListKeys(TableDialog* mainWindow);
// Ctrl Z.
void UndoPictureListRemoval(TableDialog* mainWindow);
// Lets list box 1002 accept files dropped from a file manager.
void InstallPictureListDropTarget(TableDialog* mainWindow);
