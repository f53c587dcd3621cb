// Placeholders until the file dialogs, picture list, context help, splash and About land.
#include "app/gui/context_help.h"
#include "app/gui/file_dialogs.h"
#include "app/gui/picture_list.h"
#include "info/about_window.h"
#include "info/splash_window.h"

FileRequest fileRequest;
const char kStartPictureFilterSpec[] = "";
const char kPictureListFilterSpec[] = "";
int ChooseFile(FileRequest*) { return 0; }
void SplitPath(const std::string& path, std::string* folder, std::string* name) {
  folder->clear();
  *name = path;
}
QStringList FilterSpecToQtFilters(const char*) { return {}; }
void RebuildPictureListBox(TableDialog*, int) {}
void AddPicturesToList(TableDialog*) {}
void RemovePicturesFromList(TableDialog*) {}
void DropFilesOnList(TableDialog*, const QStringList&) {}
void InstallPictureListDropTarget(TableDialog*) {}
const char* HelpTextFor(int) { return nullptr; }
std::string WrapHelpText(const std::string& text) { return text; }
void ShowInfo(const char*) {}
void InstallContextHelp(TableDialog*) {}
void ShowSplashWindow(QWidget*) {}
void ShowAboutWindow(QWidget*) {}
