#include <QTest>
#include <QTreeWidget>

#include "ui/controls/tree_helpers.h"

class TreeHelpersTest : public QObject {
  Q_OBJECT

 private slots:
  void FindsAndSelectsByObject() {
    QTreeWidget tree;
    tree.setSelectionMode(QAbstractItemView::ExtendedSelection);
    int a = 0, b = 0, c = 0, missing = 0;
    QTreeWidgetItem* root = AddTreeNode(&tree, &a, nullptr);
    QTreeWidgetItem* child = AddTreeNode(&tree, &b, root);
    AddTreeNode(&tree, &c, nullptr);
    QCOMPARE(NodeObject(child), static_cast<void*>(&b));
    QCOMPARE(FindTreeNode(&tree, &b), child);
    QCOMPARE(FindTreeNode(&tree, nullptr), static_cast<QTreeWidgetItem*>(nullptr));
    QCOMPARE(SelectTreeNode(&tree, &b), child);
    QCOMPARE(tree.currentItem(), child);
    QCOMPARE(tree.selectedItems().size(), 1);
    // Unknown object: the first row.
    QCOMPARE(SelectTreeNode(&tree, &missing), root);
    QVERIFY(!child->isSelected());
    QTreeWidget empty;
    QCOMPARE(SelectTreeNode(&empty, &a), static_cast<QTreeWidgetItem*>(nullptr));
  }

  void WalksTheSelectionInTreeOrder() {
    QTreeWidget tree;
    tree.setSelectionMode(QAbstractItemView::MultiSelection);
    std::vector<QTreeWidgetItem*> rows;
    int objects[16];
    for (int& o : objects)
      rows.push_back(AddTreeNode(&tree, &o, nullptr));
    QCOMPARE(ForEachSelectedNode(&tree, &TvstHelper::Collect, nullptr), 0);
    for (int i : {7, 1, 3})
      rows[static_cast<std::size_t>(i)]->setSelected(true);
    TvstHelper helper;
    QCOMPARE(ForEachSelectedNode(&tree, &TvstHelper::Collect, &helper), 3);
    QCOMPARE(helper.Nodes, (std::vector<QTreeWidgetItem*>{rows[1], rows[3], rows[7]}));
    // A negative result stops the walk; for the first row the sum stays 0.
    QCOMPARE(ForEachSelectedNode(
                 &tree, [](TvstHelper*, QTreeWidget*, QTreeWidgetItem*) { return -1; }, nullptr),
             0);
    int calls = 0;
    QCOMPARE(ForEachSelectedNode(
                 &tree,
                 [&](TvstHelper*, QTreeWidget*, QTreeWidgetItem*) { return ++calls < 2 ? 5 : -1; },
                 nullptr),
             5);
    QCOMPARE(ForEachSelectedNode(nullptr, &TvstHelper::Collect, &helper), -1);
    QCOMPARE(ForEachSelectedNode(&tree, TNodeRoutine(), &helper), -1);
    ClearTreeSelection(&tree);
    QVERIFY(TvstHelper::Selected(&tree).empty());
  }
};

QTEST_MAIN(TreeHelpersTest)
#include "tree_helpers_test.moc"
