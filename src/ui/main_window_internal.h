#pragma once
// Small helpers shared by the main window's source files; not for use outside ui/.

#include <QCoreApplication>
#include <QString>
#include <QTreeWidgetItem>
#include <Qt>
#include <string>

#include "model/moduls_list.h"
#include "support/conversions.h"
#include "ui/controls/tree_helpers.h"

namespace main_window_detail {

inline constexpr const char* kNoPort = "-KEIN-";
// An interface whose device vanished while connected, until it is back.
inline constexpr const char* kWaitingForDevice =
    QT_TRANSLATE_NOOP("TfrmVelmoraConfig", "getrennt, warte auf Gerät");
inline constexpr int kPortDescriptionRole = Qt::UserRole + 7;
// Which node and state image a tree row's icon shows.
inline constexpr int kIconKeyRole = Qt::UserRole + 2;

inline QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

inline std::string S(const QString& text) {
  return text.toStdString();
}

// A line of bus text as a memo or status line: no CR, and no LF that would start an empty line.
inline std::string OneLine(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text)
    if (c != '\r' && c != '\n') out += c;
  return out;
}

// A report may hold CR LF or a lone CR; the memo wants LF.
inline QString AsMemoText(const std::string& text) {
  QString out = Q(text);
  out.replace("\r\n", "\n");
  out.replace('\r', '\n');
  return out;
}

// Pseudo-terminals are no bus interfaces; a user who wants one types its path.
inline bool IsPseudoTerminal(const std::string& name) {
  return name.find("pts/") != std::string::npos || StartsWith(name, "pty") ||
         StartsWith(name, "/dev/pty") || name.find("ptmx") != std::string::npos;
}

// A device path the user typed (or a model holds) rather than a name from the port list.
inline bool IsDevicePath(const std::string& name) {
  return name.find('/') != std::string::npos || name.find('\\') != std::string::npos;
}

inline TModulsItem* ItemOf(const QTreeWidgetItem* node) {
  return static_cast<TModulsItem*>(NodeObject(node));
}

}  // namespace main_window_detail
