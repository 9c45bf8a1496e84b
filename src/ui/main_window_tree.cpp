#include "ui/main_window.h"

#include <QTreeWidget>
#include <unordered_map>
#include <vector>

#include "bus/bus_interface.h"
#include "model/ini_file.h"
#include "model/moduls_list.h"
#include "modules/base_modul.h"
#include "support/message_sink.h"
#include "ui/controls/tree_helpers.h"
#include "ui/main_icons.h"
#include "ui/main_window_internal.h"

using namespace main_window_detail;

// ---- tree ------------------------------------------------------------------------------------

TModulsItem* TfrmVelmoraConfig::SelectedItem() const {
  return ItemOf(VSTModuls->currentItem());
}

TRS485IFC* TfrmVelmoraConfig::SelectedIFC() const {
  TModulsItem* item = SelectedItem();
  return item ? item->IFC : nullptr;
}

void TfrmVelmoraConfig::SelectItem(const TModulsItem* item) {
  SelectTreeNode(VSTModuls, item);
}

QString TfrmVelmoraConfig::VSTModulsGetText(const QTreeWidgetItem* node, int column) const {
  const TModulsItem* item = ItemOf(node);
  if (!item) return QString();
  if (column >= tcAntwMs) return HealthText(item, column);
  if (item->ItemKind == ikInterface && item->IFC) {
    switch (column) {
      case 0:
        return Q("IFC(" + std::to_string(item->IFC->IfcNumber()) + ") ");
      case 1:
        return item->IFC->BusMaster().WaitingForDevice() ? tr(kWaitingForDevice) : QString();
      case 4:
        return Q(item->IFC->Bezeichnung);
      case 5:
        return Q(item->IFC->Hinweis);
      default:
        return QString();
    }
  }
  if (const TBaseModul* modul = item->Modul) {
    switch (column) {
      case 0:
        return Q(modul->ModelClassName());
      case 2:
        return Q(modul->AdresseText());
      case 3:
        return Q(modul->Firmware);
      case 4:
        return Q(modul->Bezeichnung);
      case 5:
        return Q(modul->Hinweis);
      default:
        return QString();
    }
  }
  return QString();
}

int TfrmVelmoraConfig::NodeImageIndex(const QTreeWidgetItem* node, TImageKind kind) const {
  const TModulsItem* item = ItemOf(node);
  if (!item) return -1;
  if (item->ItemKind == ikInterface) {
    if (kind == ikState) return item->IFC && item->IFC->Active() ? 2 : 0;
    return 0;
  }
  const TBaseModul* modul = item->Modul;
  if (!modul) return -1;
  if (kind == ikState) {
    const int health = HealthStateImage(item);
    return health >= 0 ? health : modul->Aktiv ? 2 : 0;
  }
  const std::string name = modul->ClassName();
  if (name == "TIFCPorts") return 2;
  if (name == "THDX01") return 3;
  if (name == "TMXB01" || name == "TMXB02") return 4;
  return 1;
}

int TfrmVelmoraConfig::VSTModulsGetImageIndex(const QTreeWidgetItem* node, TImageKind kind,
                                              int column) const {
  if (UpdateLock > 0 || column != 0) return -1;
  return NodeImageIndex(node, kind);
}

bool TfrmVelmoraConfig::VSTModulsEditing(const QTreeWidgetItem* node, int column) const {
  return node != nullptr && column == 5;
}

void TfrmVelmoraConfig::VSTModulsNewText(QTreeWidgetItem* node, int column, const QString& text) {
  if (UpdateLock > 0 || column != 5) return;
  TModulsItem* item = ItemOf(node);
  if (!item) return;
  // The note as the model file keeps it, so that the row shows what the next load gives back.
  const std::string note = StorableText(S(text));
  if (item->ItemKind == ikInterface && item->IFC)
    item->IFC->Hinweis = note;
  else if (item->Modul)
    item->Modul->Hinweis = note;
  if (Q(note) != text) RefreshNode(node);
  UpdateModifiedMark();
}

void TfrmVelmoraConfig::RefreshNode(QTreeWidgetItem* node) {
  if (!node) return;
  Lock();
  for (int column = 0; column < kTreeColumns; ++column) {
    const QString text = VSTModulsGetText(node, column);
    if (node->text(column) != text) {
      node->setText(column, text);
      // The status column is narrow; its texts are read in full as a tool tip.
      if (column == 1) node->setToolTip(column, text);
    }
  }
  SetNodeIcon(node);
  if (!(node->flags() & Qt::ItemIsEditable)) node->setFlags(node->flags() | Qt::ItemIsEditable);
  Unlock();
}

void TfrmVelmoraConfig::SetNodeIcon(QTreeWidgetItem* node) {
  // Every icon change repaints the row: set it only when the node or state image changed.
  const int image = NodeImageIndex(node, ikNormal);
  const int state = NodeImageIndex(node, ikState);
  const int iconKey = (image + 1) * 16 + state + 1;
  if (node->data(0, kIconKeyRole).toInt() != iconKey) {
    node->setIcon(0, FTreeIcons.Icon(image, state));
    node->setData(0, kIconKeyRole, iconKey);
  }
}

void TfrmVelmoraConfig::RefreshTree() {
  for (QTreeWidgetItem* node : TreeNodes(VSTModuls))
    RefreshNode(node);
  // Module windows change the model too (a card's polling flag, say).
  UpdateModifiedMark();
}

void TfrmVelmoraConfig::RebuildTree() {
  // Clearing the rows drops an open editor unasked; a tool button leaves it open.
  CommitTreeEditor();
  Lock();
  VSTModuls->setUpdatesEnabled(false);
  // Rows come and go, the items stay: keep the focus on the item it was on.
  const TModulsItem* focused = SelectedItem();
  VSTModuls->clear();
  bool refocus = false;
  try {
    // One pass over the list finds every interface item and the item of every module; the rows
    // are then made apart from the tree and handed to it in one batch.
    TModulsList& list = ModulsList();
    std::vector<TModulsItem*> ifcItems;
    std::unordered_map<const TBaseModul*, TModulsItem*> itemOfModul;
    itemOfModul.reserve(static_cast<std::size_t>(list.Count()));
    for (int i = 0; i < list.Count(); ++i) {
      TModulsItem* item = list.Item(i);
      if (item->ItemKind == ikInterface && item->IFC) ifcItems.push_back(item);
      if (item->Modul) itemOfModul.emplace(item->Modul, item);
    }
    QList<QTreeWidgetItem*> roots;
    roots.reserve(static_cast<qsizetype>(ifcItems.size()));
    for (TModulsItem* ifcItem : ifcItems) {
      refocus = refocus || ifcItem == focused;
      QTreeWidgetItem* root = MakeTreeNode(ifcItem);
      roots.append(root);
      RefreshNode(root);
      QList<QTreeWidgetItem*> children;
      children.reserve(static_cast<qsizetype>(ifcItem->IFC->Modules().size()));
      for (const auto& module : ifcItem->IFC->Modules()) {
        const auto found = itemOfModul.find(dynamic_cast<const TBaseModul*>(module.get()));
        if (found == itemOfModul.end()) continue;
        refocus = refocus || found->second == focused;
        QTreeWidgetItem* node = MakeTreeNode(found->second);
        RefreshNode(node);
        children.append(node);
      }
      root->addChildren(children);
    }
    VSTModuls->addTopLevelItems(roots);
    for (QTreeWidgetItem* root : roots)
      root->setExpanded(true);
    if (refocus) SelectItem(focused);
  } catch (const std::exception& e) {
    ReportMessage(std::string("TfrmVelmoraConfig.RebuildTree: ") + e.what(), 1);
  }
  VSTModuls->setUpdatesEnabled(true);
  Unlock();
  UpdateModifiedMark();
}

void TfrmVelmoraConfig::VSTModulsDblClick() {
  if (UpdateLock > 0) return;
  ShowModulForm(SelectedItem());
}

void TfrmVelmoraConfig::VSTModulsChange() {
  if (UpdateLock > 0) return;
  ShowIFCData(SelectedIFC());
}
