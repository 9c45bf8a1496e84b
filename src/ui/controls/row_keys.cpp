#include "ui/controls/row_keys.h"

#include <Qt>
#include <algorithm>

TRowKey RowKey(int key, int& current, int first, int last) {
  switch (key) {
    case Qt::Key_Left:
      current = std::max(current - 1, first);
      return TRowKey::Chose;
    case Qt::Key_Right:
      current = std::min(current + 1, last);
      return TRowKey::Chose;
    case Qt::Key_Home:
      current = first;
      return TRowKey::Chose;
    case Qt::Key_End:
      current = last;
      return TRowKey::Chose;
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return TRowKey::Press;
    default:
      return TRowKey::Other;
  }
}
