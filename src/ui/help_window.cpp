#include "ui/help_window.h"

#include <QFile>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>
#include <sstream>

#include "support/message_sink.h"

namespace {

// Where the build puts the README and the pictures it shows (docs/...), side by side as in the
// source tree, so that the README's relative picture paths resolve unchanged.
const char* const kHelpRoot = ":/help";

std::string ReadResource(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return std::string();
  return file.readAll().toStdString();
}

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

std::string TrimRight(std::string text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\r'))
    text.pop_back();
  return text;
}

}  // namespace

std::string HelpPageFromReadme(const std::string& readme, const std::vector<std::string>& titles) {
  std::istringstream in(readme);
  std::string line;
  std::string page;
  bool inFence = false;
  bool keep = true;  // the text before the first section
  while (std::getline(in, line)) {
    if (StartsWith(line, "```") || StartsWith(line, "~~~")) inFence = !inFence;
    if (!inFence && StartsWith(line, "## ")) {
      const std::string title = TrimRight(line.substr(3));
      keep = false;
      for (const std::string& wanted : titles)
        if (title == wanted) keep = true;
    }
    if (keep) page += line + "\n";
  }
  return page;
}

const std::vector<std::string>& TfrmHilfe::GuideSections() {
  static const std::vector<std::string> sections = {
      "Language: German or English", "Serial-port permission", "Trying it without hardware",
      "The windows", "kavorctl"};
  return sections;
}

TfrmHilfe::TfrmHilfe(QWidget* parent) : QDialog(parent) {
  setObjectName("frmHilfe");
  setWindowTitle(tr("KavorConfig - Hilfe"));
  setAccessibleName(tr("Hilfe"));
  setModal(false);
  resize(900, 700);

  brwHilfe = new QTextBrowser(this);
  brwHilfe->setObjectName("brwHilfe");
  brwHilfe->setAccessibleName(tr("Anleitung"));
  brwHilfe->setOpenExternalLinks(true);
  brwHilfe->setSearchPaths({kHelpRoot});
  const std::string readme = ReadResource(QString(kHelpRoot) + "/README.md");
  if (readme.empty())
    ReportMessage("TfrmHilfe: " + tr("die Anleitung ist nicht eingebaut").toStdString(), 1);
  brwHilfe->setMarkdown(QString::fromStdString(HelpPageFromReadme(readme, GuideSections())));

  btnSchliessen = new QPushButton(tr("Schließen"), this);
  btnSchliessen->setObjectName("btnSchliessen");
  btnSchliessen->setAccessibleName(tr("Schließen"));
  connect(btnSchliessen, &QPushButton::clicked, this, &QDialog::close);

  auto* buttons = new QHBoxLayout();
  buttons->addStretch(1);
  buttons->addWidget(btnSchliessen);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(brwHilfe, 1);
  layout->addLayout(buttons);
  brwHilfe->setFocus();
}
