#pragma once
// Helpers for tree views whose rows stand for objects of the model: each row carries a reference
// to the object it shows.

#include <functional>
#include <vector>

class QTreeWidget;
class QTreeWidgetItem;

// The object a row shows, or none.
void* NodeObject(const QTreeWidgetItem* node);
// Adds a row for the object under the parent (at the top level without one).
QTreeWidgetItem* AddTreeNode(QTreeWidget* tree, void* object, QTreeWidgetItem* parent);
// A row for the object that belongs to no tree yet. Rows made so and added to the tree together
// (addTopLevelItems, addChildren) cost the view one update instead of one per row.
QTreeWidgetItem* MakeTreeNode(void* object);
// The first row, in tree order, that shows the object; none for an empty reference.
QTreeWidgetItem* FindTreeNode(QTreeWidget* tree, const void* object);
// All rows in tree order.
std::vector<QTreeWidgetItem*> TreeNodes(QTreeWidget* tree);

class TvstHelper;
using TNodeRoutine =
    std::function<int(TvstHelper* helper, QTreeWidget* tree, QTreeWidgetItem* node)>;

// Calls the routine for every selected row in tree order and returns the sum of the results; a
// negative result stops the walk (and counts as 0 for the first row). -1 without tree or
// routine, 0 when nothing is selected.
int ForEachSelectedNode(QTreeWidget* tree, const TNodeRoutine& routine, TvstHelper* helper);
void ClearTreeSelection(QTreeWidget* tree);
// Selects and focuses the object's row (or the first row when it has none), deselecting all
// others. None on an empty tree.
QTreeWidgetItem* SelectTreeNode(QTreeWidget* tree, const void* object);

// Collects rows, for one change applied to every selected row.
class TvstHelper {
 public:
  std::vector<QTreeWidgetItem*> Nodes;
  // With ForEachSelectedNode: appends each selected row and returns 1 (0 for a row that is not
  // selected, -1 for none).
  static int Collect(TvstHelper* helper, QTreeWidget* tree, QTreeWidgetItem* node);
  // The selected rows of the tree, in tree order.
  static std::vector<QTreeWidgetItem*> Selected(QTreeWidget* tree);
};
