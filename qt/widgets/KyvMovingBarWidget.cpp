#include "kyv/qt/KyvMovingBarWidget.h"

namespace kyvqt {

KyvMovingBarWidget::KyvMovingBarWidget(QWidget* parent) : KyvMovingBarWidget(nullptr, parent) {}

KyvMovingBarWidget::KyvMovingBarWidget(kyv::Registry* registry, QWidget* parent) : TypedWidget(parent, registry) {
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  create(QString::fromLatin1(kClassName));
}

bool KyvMovingBarWidget::MoveBar(int x) {
  if (queuedFromOtherThread([this, x] { MoveBar(x); })) return true;
  return feed("MoveBar", x);
}

}  // namespace kyvqt
