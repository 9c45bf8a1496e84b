#pragma once
// The pictures of the main window, drawn at start: tool-bar buttons, the tree's node images
// (0 interface, 1 module of unknown type, 2 port expansion, 3 throttle card, 4 switch card) and
// its state images (0 off, 2 on, 3 warning, 4 failing).

#include <QIcon>
#include <QPixmap>
#include <map>
#include <utility>

// The program's own icon in every size built into the program (drawn as packaging/icons/*.svg).
QIcon AppIcon();

enum TToolImage { tiExit, tiOpen, tiSave, tiNewIFC, tiSearch, tiRemove, tiQuickSearch, tiMonitor };

QIcon ToolImage(TToolImage which);
QPixmap NodeImage(int index);
QPixmap StateImage(int index);
// The state image and the node image side by side, as the tree shows them in its first column.
// -1 leaves that part empty.
QIcon TreeIcon(int nodeImage, int stateImage);
QSize TreeIconSize();

// The tree's first-column icons, each combination drawn once: a big model shows thousands of
// rows with a handful of different icons.
class TTreeIcons {
 public:
  const QIcon& Icon(int nodeImage, int stateImage);

 private:
  std::map<std::pair<int, int>, QIcon> FIcons;
};
