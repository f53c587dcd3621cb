// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "gui/file_dialogs.h"

#include <strings.h>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QObject>
#include <QWidget>
#include <algorithm>

#include <cstring>
#include <string>
#include <vector>

#include "app/owner_windows.h"
#include "base/language.h"
#include "imaging/picture_formats.h"

namespace {

// "All Pictures" with every ending of every format read, then the formats that the dialogs name
// on their own, in the alphabetical order of their descriptions, each with all its endings; in
// either case.
std::string PictureFilterSpec(const char* allLabel, const std::string& extraPatterns,
                              const std::string& extraPairs) {
  std::string all;
  std::vector<const PictureFormat*> named;
  for (const PictureFormat& format : kPictureFormats) {
    all += (all.empty() ? "" : ";") + FormatPatterns(format, ';');
    if (format.dialogLabel != nullptr) named.push_back(&format);
  }
  std::sort(named.begin(), named.end(), [](const PictureFormat* a, const PictureFormat* b) {
    return strcasecmp(a->dialogLabel, b->dialogLabel) < 0;
  });
  std::string filters = std::string(allLabel) + "|" + all + extraPatterns + "|";
  for (const PictureFormat* format : named) {
    filters += std::string(Tr(format->dialogLabel)) + "|" + FormatPatterns(*format, ';') + "|";
  }
  return filters + extraPairs;
}

}  // namespace

// Each list is made once for each language it is asked in (on the windows' thread).
const char* StartPictureFilterSpec() {
  static std::string made[3];
  std::string& filters = made[static_cast<int>(CurrentLanguage())];
  if (filters.empty()) filters = PictureFilterSpec(Tr("All Pictures"), "", "");
  return filters.c_str();
}

const char* PictureListFilterSpec() {
  static std::string made[3];
  std::string& filters = made[static_cast<int>(CurrentLanguage())];
  if (filters.empty()) {
    filters = PictureFilterSpec(Tr("All Media"), ";*.avi;*.AVI",
                                std::string(Tr("Windows Video File (*.avi)")) + "|*.avi;*.AVI|");
  }
  return filters.c_str();
}

namespace {

// Centres the dialog's frame over the window in front once the dialog is on screen, when its
// final size is known. The dialog keeps its size.
class CentreOverMainWindow : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Show && !done_) {
      done_ = true;
      auto* dialog = static_cast<QWidget*>(watched);
      auto* main = dynamic_cast<QWidget*>(mainWindowHandle);
      if (main != nullptr) {
        const QRect m = main->frameGeometry();
        const QRect d = dialog->frameGeometry();
        dialog->move(m.left() + m.width() / 2 - d.width() / 2,
                     m.top() + m.height() / 2 - d.height() / 2);
      }
    }
    return false;
  }

 private:
  bool done_ = false;
};

// Writes the chosen files into the caller's buffer: one full path, or the folder, NUL, each name
// and NUL, then a final NUL. Returns false (buffer untouched) when the result does not fit.
bool WriteResult(const QStringList& files, FileRequest* request) {
  if (files.isEmpty() || request->fileBuffer == nullptr || request->fileBufferSize <= 0) {
    return false;
  }
  const size_t capacity = static_cast<size_t>(request->fileBufferSize);
  if (files.size() == 1) {
    const QByteArray path = QFile::encodeName(files.front());
    if (static_cast<size_t>(path.size()) + 1 > capacity) return false;
    std::memcpy(request->fileBuffer, path.constData(), path.size());
    request->fileBuffer[path.size()] = '\0';
    const int slash = path.lastIndexOf('/');
    request->fileOffset = slash + 1;
    return true;
  }
  const QString folderPath = QFileInfo(files.front()).absolutePath();
  const QDir folder(folderPath);
  QByteArray result = QFile::encodeName(folderPath);
  result.append('\0');
  const int32_t offset = static_cast<int32_t>(result.size());
  for (const QString& file : files) {
    result.append(QFile::encodeName(folder.relativeFilePath(file)));
    result.append('\0');
  }
  result.append('\0');
  if (static_cast<size_t>(result.size()) > capacity) return false;
  std::memcpy(request->fileBuffer, result.constData(), result.size());
  request->fileOffset = offset;
  return true;
}

}  // namespace

void SplitPath(const std::string& path, std::string* folder, std::string* name) {
  const size_t cut = path.find_last_of("/:");
  if (cut == std::string::npos) {
    folder->clear();
    *name = path;
    return;
  }
  *folder = path.substr(0, cut);
  *name = path.substr(cut + 1);
}

QStringList FilterSpecToQtFilters(const char* filterSpec) {
  const QString pairs = QString::fromUtf8(filterSpec ? filterSpec : "") +
                        QString::fromUtf8(Tr("All Files (*.*)")) + QStringLiteral("|*.*||");
  const QStringList parts = pairs.split(QLatin1Char('|'));
  QStringList filters;
  // The list ends at the first empty description (the double bar).
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    const QString& description = parts[i];
    if (description.isEmpty()) break;
    QString patterns = parts[i + 1];
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    // "*.*" means every file, also those without an extension, which Qt's "*.*" leaves out.
    if (patterns == QLatin1String("*.*")) patterns = QStringLiteral("*");
    // Qt reads the patterns from the last parentheses and, with the details hidden, shows what
    // comes before them: the description as it stands.
    filters << description + QStringLiteral(" (") + patterns + QStringLiteral(")");
  }
  return filters;
}

bool IsSystemFolder(const QString& folder) {
  const QFileInfo info(folder);
  for (const QString& path : {QDir::cleanPath(info.absoluteFilePath()), info.canonicalFilePath()}) {
    for (const QLatin1String root :
         {QLatin1String("/proc"), QLatin1String("/sys"), QLatin1String("/dev")}) {
      if (path == root || path.startsWith(root + QLatin1Char('/'))) return true;
    }
  }
  return false;
}

void WarnNameTooLong(const std::string& path, int32_t bufferSize) {
  std::string text = Tr("This file name is too long to be used (at most ") +
                     std::to_string(bufferSize - 1) + Tr(" characters):|") + path;
  ShowWarning(text);
}

int ChooseFile(FileRequest* request) {
  const QStringList filters = FilterSpecToQtFilters(request->filterSpec);
  const bool multiple = (request->extraFlags & OFN_ALLOWMULTISELECT) != 0;

  std::string folder;
  std::string name;
  if (request->fileBuffer != nullptr && request->fileBufferSize > 0) {
    const size_t length =
        strnlen(request->fileBuffer, static_cast<size_t>(request->fileBufferSize));
    SplitPath(std::string(request->fileBuffer, length), &folder, &name);
    // A file directly in the root folder has an empty folder part, yet the root is meant.
    if (folder.empty() && length > 0 && request->fileBuffer[0] == '/') folder.assign(1, '/');
  }

  QFileDialog dialog(request->owner, QString::fromUtf8(request->title ? request->title : ""));
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setOption(QFileDialog::ReadOnly, false);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  // Names that do not exist are handed back for the caller to judge; with several files Qt only
  // offers existing ones.
  dialog.setFileMode(multiple ? QFileDialog::ExistingFiles : QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::HideNameFilterDetails, true);
  dialog.setNameFilters(filters);
  if (!filters.isEmpty()) dialog.selectNameFilter(filters.front());
  QString start = QFile::decodeName(QByteArray::fromStdString(folder));
  if (!start.isEmpty() && IsSystemFolder(start)) start = QDir::homePath();
  if (!start.isEmpty()) dialog.setDirectory(start);
  dialog.selectFile(QFile::decodeName(QByteArray::fromStdString(name)));
  CentreOverMainWindow centring;
  dialog.installEventFilter(&centring);

  int chosen = 0;
  if (dialog.exec() == QDialog::Accepted) {
    const QStringList files = dialog.selectedFiles();
    chosen = WriteResult(files, request) ? 1 : 0;
    // The only reason a choice does not fit is its length: say so rather than ignore it.
    if (chosen == 0 && files.size() == 1) {
      WarnNameTooLong(QFile::encodeName(files.front()).toStdString(), request->fileBufferSize);
    } else if (chosen == 0 && !files.isEmpty()) {
      ShowWarning(Tr("Too many files were chosen at once; choose fewer."));
    }
  }
  request->extraFlags = 0;
  request->filterSpec = nullptr;
  return chosen;
}
