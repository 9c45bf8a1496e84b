#pragma once
// TfrmHilfe: the short user guide. It shows the README's sections for users from the copy built
// into the program, so it needs neither the web nor any file beside the program, and it always
// matches the program it comes with.

#include <QDialog>
#include <string>
#include <vector>

class QPushButton;
class QTextBrowser;

// The guide's Markdown: the README's text before its first "## " section, then those of its
// sections whose titles are named, in the README's order. Lines inside code fences never start a
// section.
std::string HelpPageFromReadme(const std::string& readme, const std::vector<std::string>& titles);

class TfrmHilfe : public QDialog {
  Q_OBJECT

 public:
  explicit TfrmHilfe(QWidget* parent = nullptr);

  // The titles of the README sections the guide shows.
  static const std::vector<std::string>& GuideSections();

  QTextBrowser* brwHilfe;
  QPushButton* btnSchliessen;
};
