#include "kyv/qt/KyvMultiBarWidget.h"

namespace kyvqt {

KyvMultiBarWidget::KyvMultiBarWidget(QWidget* parent) : KyvMultiBarWidget(nullptr, parent) {}

KyvMultiBarWidget::KyvMultiBarWidget(kyv::Registry* registry, QWidget* parent) : TypedWidget(parent, registry) {
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  create(QString::fromLatin1(kClassName));
}

bool KyvMultiBarWidget::Column(int ColumnNumber) {
  if (queuedFromOtherThread([this, ColumnNumber] { Column(ColumnNumber); })) return true;
  if (!feed("Column", ColumnNumber)) return false;
  selected_ = ColumnNumber;
  return true;
}

bool KyvMultiBarWidget::Value(int Values) {
  if (queuedFromOtherThread([this, Values] { Value(Values); })) return true;
  if (!feed("Value", Values)) return false;
  values_[static_cast<size_t>(selected_)] = Values;
  return true;
}

// Queued as one call, so that no other thread's Column comes between the two.
bool KyvMultiBarWidget::Value(int column, int value) {
  if (queuedFromOtherThread([this, column, value] { Value(column, value); })) return true;
  return Column(column) && Value(value);
}

void KyvMultiBarWidget::reapplyReadings() {
  for (size_t column = 0; column < values_.size(); ++column) {
    if (!values_[column]) continue;
    if (refeed("Column", static_cast<int>(column))) refeed("Value", *values_[column]);
  }
  refeed("Column", selected_);
}

}  // namespace kyvqt
