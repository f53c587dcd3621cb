// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "gui/picture_list.h"

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFile>
#include <QKeyEvent>
#include <QKeySequence>
#include <QListWidget>
#include <QMimeData>
#include <QUrl>
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/owner_windows.h"
#include "app/settings.h"
#include "base/language.h"
#include "gui/dialog_layout.h"
#include "gui/file_dialogs.h"
#include "imaging/picture_formats.h"

namespace {

constexpr int kListBoxId = 1002;
constexpr size_t kAddBufferSize = 25000;

QListWidget* ListBox(TableDialog* mainWindow) {
  return mainWindow ? mainWindow->ItemAs<QListWidget>(kListBoxId) : nullptr;
}

std::string EntryPath(const PictureListEntry& entry) {
  return std::string(entry.path, strnlen(entry.path, kPictureListEntrySize));
}

// The last `parts` parts of the path (the name, then its folders); the whole path when it has no
// more. A path without any separator has an empty name.
std::string PathTail(const std::string& path, int parts) {
  size_t start = path.size();
  for (int i = 0; i < parts; ++i) {
    if (start == 0) return path;
    const size_t cut = path.find_last_of("/:", start - 1);
    if (cut == std::string::npos) return i == 0 ? std::string() : path;
    start = cut;
  }
  return path.substr(start + 1);
}

// What the lines of the list box show: the text after each path's last separator, and for
// names that several entries share, as many of their folders as tell them apart.
std::vector<QString> DisplayNames(const PictureListEntry* entries, int32_t count) {
  std::vector<std::string> paths(static_cast<size_t>(count));
  std::unordered_map<std::string, std::vector<int32_t>> byName;
  for (int32_t i = 0; i < count; ++i) {
    paths[i] = EntryPath(entries[i]);
    byName[PathTail(paths[i], 1)].push_back(i);
  }
  std::vector<std::string> shown(static_cast<size_t>(count));
  for (auto& [name, rows] : byName) {
    int parts = 1;
    if (rows.size() > 1) {
      // More folders until the tails differ, or until the whole paths are shown.
      for (bool apart = false; !apart && parts < 64; ++parts) {
        std::unordered_map<std::string, int> seen;
        bool whole = true;
        for (int32_t row : rows) {
          const std::string tail = PathTail(paths[row], parts + 1);
          whole = whole && tail == paths[row];
          ++seen[tail];
        }
        apart = seen.size() == rows.size() || whole;
      }
    }
    for (int32_t row : rows) shown[row] = PathTail(paths[row], parts);
  }
  std::vector<QString> names;
  names.reserve(shown.size());
  for (const std::string& text : shown) {
    names.push_back(QFile::decodeName(QByteArray::fromStdString(text)));
  }
  return names;
}

// The pictures and AVI files directly in a folder, by name: what the list takes of a folder
// dropped on it.
std::vector<std::string> FolderMedia(const std::string& folder) {
  std::vector<std::string> found;
  std::error_code error;
  for (const auto& item : std::filesystem::directory_iterator(folder, error)) {
    const std::string path = item.path().string();
    std::string ending = item.path().extension().string();
    for (char& c : ending) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (!item.is_regular_file(error)) continue;
    if (FormatForName(path) != nullptr || ending == ".avi") found.push_back(path);
  }
  std::sort(found.begin(), found.end());
  return found;
}

// Replaces the picture list by `block` holding `count` entries (the block may be null for none).
void StoreList(PictureListEntry* block, int32_t count) {
  std::free(settings.pictureList);
  settings.pictureList = count > 0 ? block : nullptr;
  settings.pictureListLength = count * static_cast<int32_t>(kPictureListEntrySize);
  if (count == 0) std::free(block);
}

// A zero-filled block of `entries` slots with the current entries copied to its start.
PictureListEntry* GrowList(size_t entries) {
  const int32_t old = PictureListCount();
  auto* block =
      static_cast<PictureListEntry*>(std::calloc(entries ? entries : 1, kPictureListEntrySize));
  if (block == nullptr) return nullptr;
  if (old > 0) std::memcpy(block, settings.pictureList, old * kPictureListEntrySize);
  return block;
}

// Copies a path into a slot when it fits with its terminator.
bool FillSlot(PictureListEntry* slot, const std::string& path) {
  if (path.size() + 1 > kPictureListEntrySize) return false;
  std::memcpy(slot->path, path.data(), path.size());
  slot->path[path.size()] = '\0';
  return true;
}

// Tells the user which files were left out because their paths do not fit a slot.
void WarnAboutLongPaths(const std::vector<std::string>& refused) {
  if (refused.empty()) return;
  std::string text = refused.size() == 1
                         ? Tr("This file was not added to 'Your Picture List' because its name "
                              "is too long (at most 299 characters):")
                         : Tr("These files were not added to 'Your Picture List' because their "
                              "names are too long (at most 299 characters):");
  for (const std::string& path : refused) text += "|" + path;
  ShowWarning(text);
}

// Tells the user how many files did not fit into a full list.
void WarnAboutFullList(size_t left) {
  if (left == 0) return;
  char text[256];
  std::snprintf(text, sizeof text,
                left == 1 ? Tr("'Your Picture List' holds at most %zu pictures; %zu file was not "
                               "added.")
                          : Tr("'Your Picture List' holds at most %zu pictures; %zu files were "
                               "not added."),
                static_cast<size_t>(kMaxPictureListEntries), left);
  ShowWarning(text);
}

// Appends the paths to the list, refusing those that do not fit a slot or a full list, and
// rebuilds the list box with the first added line selected.
void AppendPaths(TableDialog* mainWindow, const std::vector<std::string>& paths) {
  const int32_t old = PictureListCount();
  const size_t room = old < kMaxPictureListEntries ? kMaxPictureListEntries - old : 0;
  const size_t taken = std::min(paths.size(), room);
  PictureListEntry* block = GrowList(old + taken);
  if (block == nullptr) return;
  int32_t count = old;
  std::vector<std::string> refused;
  for (size_t i = 0; i < taken; ++i) {
    if (FillSlot(&block[count], paths[i])) {
      ++count;
    } else {
      refused.push_back(paths[i]);
    }
  }
  if (count == old) {
    std::free(block);
    RebuildPictureListBox(mainWindow, kNoAnchor);
  } else {
    StoreList(block, count);
    RebuildPictureListBox(mainWindow, old);
  }
  WarnAboutLongPaths(refused);
  WarnAboutFullList(paths.size() - taken);
}

// The 'Remove' presses that Ctrl Z can take back, latest last: each the removed entries with the
// places they had.
class RemovalHistory : public QObject {
 public:
  static constexpr size_t kLevels = 20;
  struct Removal {
    std::vector<std::pair<int32_t, PictureListEntry>> entries;  // ascending places
  };

  RemovalHistory(TableDialog* mainWindow, QListWidget* list) : QObject(list), window_(mainWindow) {
    list->installEventFilter(this);
  }
  void Push(Removal removal) {
    if (removals_.size() == kLevels) removals_.erase(removals_.begin());
    removals_.push_back(std::move(removal));
  }
  // Puts the latest removal back: each entry at its old place, or at the end when the list has
  // become shorter since. The entries put back are selected.
  void Undo() {
    if (removals_.empty()) return;
    const Removal removal = std::move(removals_.back());
    removals_.pop_back();
    std::vector<PictureListEntry> entries(settings.pictureList,
                                          settings.pictureList + PictureListCount());
    std::vector<int> rows;
    for (const auto& [place, entry] : removal.entries) {
      const int32_t at = std::min<int32_t>(place, static_cast<int32_t>(entries.size()));
      entries.insert(entries.begin() + at, entry);
      rows.push_back(at);
    }
    auto* block =
        static_cast<PictureListEntry*>(std::calloc(entries.size(), kPictureListEntrySize));
    if (block == nullptr) return;
    std::copy(entries.begin(), entries.end(), block);
    StoreList(block, static_cast<int32_t>(entries.size()));
    RebuildPictureListBox(window_, rows.front());
    QListWidget* list = ListBox(window_);
    for (int row : rows) list->item(row)->setSelected(true);
  }

 protected:
  bool eventFilter(QObject* /*watched*/, QEvent* event) override {
    if (event->type() != QEvent::KeyPress) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->matches(QKeySequence::Undo)) {
      Undo();
      return true;
    }
    if (key->key() == Qt::Key_Delete && key->modifiers() == Qt::NoModifier) {
      RemovePicturesFromList(window_);
      return true;
    }
    return false;
  }

 private:
  TableDialog* window_;
  std::vector<Removal> removals_;
};

RemovalHistory* History(TableDialog* mainWindow) {
  QListWidget* list = ListBox(mainWindow);
  if (list == nullptr) return nullptr;
  // Not a Q_OBJECT class, so qobject_cast (and findChild) would take any child for it.
  for (QObject* child : list->children()) {
    if (auto* history = dynamic_cast<RemovalHistory*>(child)) return history;
  }
  return nullptr;
}

// Remembers the entries about to be removed, for Ctrl Z.
void RememberRemoval(TableDialog* mainWindow, const std::vector<bool>& removed) {
  RemovalHistory* history = History(mainWindow);
  if (history == nullptr) return;
  RemovalHistory::Removal removal;
  for (int32_t i = 0; i < static_cast<int32_t>(removed.size()); ++i) {
    if (removed[i]) removal.entries.emplace_back(i, settings.pictureList[i]);
  }
  if (!removal.entries.empty()) history->Push(std::move(removal));
}

// Accepts drags that carry local files and hands their paths to the list when dropped.
class FileDropFilter : public QObject {
 public:
  FileDropFilter(TableDialog* mainWindow, QObject* parent) : QObject(parent), window_(mainWindow) {}

 protected:
  bool eventFilter(QObject* /*watched*/, QEvent* event) override {
    switch (event->type()) {
      case QEvent::DragEnter:
      case QEvent::DragMove: {
        auto* drag = static_cast<QDropEvent*>(event);
        if (LocalPaths(drag->mimeData()).isEmpty()) return false;
        drag->setDropAction(Qt::CopyAction);
        drag->accept();
        return true;
      }
      case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const QStringList paths = LocalPaths(drop->mimeData());
        if (paths.isEmpty()) return false;
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        DropFilesOnList(window_, paths);
        return true;
      }
      default:
        return false;
    }
  }

 private:
  static QStringList LocalPaths(const QMimeData* data) {
    QStringList paths;
    if (data == nullptr || !data->hasUrls()) return paths;
    for (const QUrl& url : data->urls()) {
      if (url.isLocalFile()) paths << url.toLocalFile();
    }
    return paths;
  }

  TableDialog* window_;
};

}  // namespace

void RebuildPictureListBox(TableDialog* mainWindow, int anchor) {
  QListWidget* list = ListBox(mainWindow);
  if (list == nullptr) return;
  list->clear();
  const int32_t count = PictureListCount();
  const std::vector<QString> names = DisplayNames(settings.pictureList, count);
  for (int32_t i = 0; i < count; ++i) {
    const PictureListEntry& entry = settings.pictureList[i];
    auto* item = new QListWidgetItem(names[i], list);
    item->setToolTip(
        QFile::decodeName(QByteArray(entry.path, strnlen(entry.path, kPictureListEntrySize))));
  }
  list->addItem(QString());
  if (count == 0) return;
  if (anchor == kNoAnchor) {
    list->selectAll();
    return;
  }
  QListWidgetItem* item = list->item(anchor);
  if (item == nullptr) return;
  list->setCurrentItem(item, QItemSelectionModel::NoUpdate);
  item->setSelected(true);
  list->scrollToItem(item, QAbstractItemView::EnsureVisible);
}

void AddPicturesToList(TableDialog* mainWindow) {
  char* buffer = static_cast<char*>(std::calloc(kAddBufferSize, 1));
  if (buffer == nullptr) return;
  FileRequest fileRequest;
  fileRequest.title = Tr("Select image files");
  fileRequest.fileBuffer = buffer;
  fileRequest.fileBufferSize = static_cast<int32_t>(kAddBufferSize);
  fileRequest.owner = mainWindow;
  fileRequest.extraFlags = OFN_ALLOWMULTISELECT;
  fileRequest.filterSpec = PictureListFilterSpec();
  fileRequest.fileOffset = 0;
  if (ChooseFile(&fileRequest) == 0 || fileRequest.fileOffset < 0 ||
      static_cast<size_t>(fileRequest.fileOffset) >= kAddBufferSize - 1) {
    std::free(buffer);
    RebuildPictureListBox(mainWindow, kNoAnchor);
    return;
  }

  // The names start at the offset; each ends with a NUL, the last with two.
  const size_t offset = static_cast<size_t>(fileRequest.fileOffset);
  std::vector<std::string> names;
  size_t start = offset;
  for (size_t i = offset; i < kAddBufferSize - 1; ++i) {
    if (buffer[i] != '\0') continue;
    names.emplace_back(buffer + start, i - start);
    if (buffer[i + 1] == '\0') break;
    start = i + 1;
  }

  // With one name the folder part still ends with its separator; with several it stands alone
  // before the first NUL.
  const std::string folder(buffer, strnlen(buffer, offset));
  std::vector<std::string> paths;
  paths.reserve(names.size());
  for (const std::string& name : names) {
    paths.push_back(names.size() > 1 ? folder + "/" + name : folder + name);
  }
  std::free(buffer);
  AppendPaths(mainWindow, paths);
}

void RemovePicturesFromList(TableDialog* mainWindow) {
  QListWidget* list = ListBox(mainWindow);
  if (list == nullptr) return;
  std::vector<int> selected;
  for (int row = 0; row < list->count(); ++row) {
    if (list->item(row)->isSelected()) selected.push_back(row);
  }
  if (selected.empty()) return;
  const int32_t count = PictureListCount();
  if (count == 0) return;
  if (count == 1) {
    RememberRemoval(mainWindow, {true});
    StoreList(nullptr, 0);
    RebuildPictureListBox(mainWindow, kNoAnchor);
    return;
  }

  std::vector<bool> removed(count, false);
  for (int row : selected) {
    if (row < count) removed[row] = true;
  }
  auto* block = static_cast<PictureListEntry*>(std::calloc(count, kPictureListEntrySize));
  if (block == nullptr) return;
  int32_t kept = 0;
  int anchor = kNoAnchor;
  for (int32_t i = 0; i < count; ++i) {
    if (removed[i]) {
      anchor = kept;
    } else {
      block[kept++] = settings.pictureList[i];
    }
  }
  // After a removal at the end, the new last line takes the selection.
  if (anchor != kNoAnchor && anchor == kept) --anchor;
  RememberRemoval(mainWindow, removed);
  StoreList(block, kept);
  RebuildPictureListBox(mainWindow, anchor);
}

void DropFilesOnList(TableDialog* mainWindow, const QStringList& paths) {
  if (paths.isEmpty()) return;
  std::vector<std::string> encoded;
  encoded.reserve(paths.size());
  std::vector<std::string> emptyFolders;
  for (const QString& path : paths) {
    std::string name = QFile::encodeName(path).toStdString();
    // A folder brings the pictures and videos in it, not itself.
    std::error_code error;
    if (std::filesystem::is_directory(name, error)) {
      std::vector<std::string> media = FolderMedia(name);
      if (media.empty()) emptyFolders.push_back(name);
      encoded.insert(encoded.end(), media.begin(), media.end());
    } else {
      encoded.push_back(std::move(name));
    }
  }
  if (!encoded.empty()) AppendPaths(mainWindow, encoded);
  if (!emptyFolders.empty()) {
    std::string text =
        Tr("Nothing was added to 'Your Picture List' from this folder: it holds no "
           "picture or avi files.");
    for (const std::string& folder : emptyFolders) text += "|" + folder;
    ShowWarning(text);
  }
}

void UndoPictureListRemoval(TableDialog* mainWindow) {
  if (RemovalHistory* history = History(mainWindow)) history->Undo();
}

void InstallPictureListKeys(TableDialog* mainWindow) {
  QListWidget* list = ListBox(mainWindow);
  if (list == nullptr || History(mainWindow) != nullptr) return;
  new RemovalHistory(mainWindow, list);
}

void InstallPictureListDropTarget(TableDialog* mainWindow) {
  QListWidget* list = ListBox(mainWindow);
  if (list == nullptr) return;
  // Drops arrive at the viewport; the list box itself sees them when it has no viewport events.
  auto* filter = new FileDropFilter(mainWindow, list);
  list->setAcceptDrops(true);
  list->viewport()->setAcceptDrops(true);
  list->installEventFilter(filter);
  list->viewport()->installEventFilter(filter);
}
