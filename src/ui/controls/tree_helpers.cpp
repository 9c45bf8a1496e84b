#include "ui/controls/tree_helpers.h"

#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

namespace {
constexpr int kObjectRole = Qt::UserRole + 1;
}

void* NodeObject(const QTreeWidgetItem* node) {
  if (!node) return nullptr;
  return reinterpret_cast<void*>(node->data(0, kObjectRole).value<quintptr>());
}

QTreeWidgetItem* AddTreeNode(QTreeWidget* tree, void* object, QTreeWidgetItem* parent) {
  if (!tree) return nullptr;
  auto* node = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree);
  node->setData(0, kObjectRole, QVariant::fromValue(reinterpret_cast<quintptr>(object)));
  return node;
}

QTreeWidgetItem* MakeTreeNode(void* object) {
  auto* node = new QTreeWidgetItem;
  node->setData(0, kObjectRole, QVariant::fromValue(reinterpret_cast<quintptr>(object)));
  return node;
}

std::vector<QTreeWidgetItem*> TreeNodes(QTreeWidget* tree) {
  std::vector<QTreeWidgetItem*> nodes;
  if (!tree) return nodes;
  for (QTreeWidgetItemIterator it(tree); *it; ++it)
    nodes.push_back(*it);
  return nodes;
}

QTreeWidgetItem* FindTreeNode(QTreeWidget* tree, const void* object) {
  if (!object) return nullptr;
  for (QTreeWidgetItem* node : TreeNodes(tree))
    if (NodeObject(node) == object) return node;
  return nullptr;
}

int ForEachSelectedNode(QTreeWidget* tree, const TNodeRoutine& routine, TvstHelper* helper) {
  if (!tree || !routine) return -1;
  int sum = 0;
  for (QTreeWidgetItem* node : TreeNodes(tree)) {
    if (!node->isSelected()) continue;
    const int result = routine(helper, tree, node);
    if (result < 0) break;
    sum += result;
  }
  return sum;
}

void ClearTreeSelection(QTreeWidget* tree) {
  if (tree) tree->clearSelection();
}

QTreeWidgetItem* SelectTreeNode(QTreeWidget* tree, const void* object) {
  if (!tree || tree->topLevelItemCount() == 0) return nullptr;
  QTreeWidgetItem* node = FindTreeNode(tree, object);
  if (!node) node = tree->topLevelItem(0);
  tree->setUpdatesEnabled(false);
  tree->clearSelection();
  tree->setCurrentItem(node);
  node->setSelected(true);
  tree->setUpdatesEnabled(true);
  return node;
}

int TvstHelper::Collect(TvstHelper* helper, QTreeWidget*, QTreeWidgetItem* node) {
  if (!helper || !node) return -1;
  if (!node->isSelected()) return 0;
  helper->Nodes.push_back(node);
  return 1;
}

std::vector<QTreeWidgetItem*> TvstHelper::Selected(QTreeWidget* tree) {
  TvstHelper helper;
  ForEachSelectedNode(tree, &TvstHelper::Collect, &helper);
  return helper.Nodes;
}
