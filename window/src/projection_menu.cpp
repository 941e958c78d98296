// SPDX-License-Identifier: MIT
#include "window/projection_menu.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QSettings>

namespace orvane {
namespace {

constexpr const char* kProjectionKey = "chartProjection";

}  // namespace

ChartProjection RememberedProjection() {
  const QString key = QSettings().value(kProjectionKey).toString();
  return ProjectionOfKey(key.toStdString())
      .value_or(ChartProjection::kEqualArea);
}

void RememberProjection(ChartProjection projection) {
  QSettings().setValue(kProjectionKey, ProjectionKey(projection));
}

QString ProjectionTabTitle(ChartProjection projection) {
  return QString("%1 Projection").arg(ProjectionTitle(projection));
}

ProjectionMenu::ProjectionMenu(QMenu* view, QObject* parent) : QObject(parent) {
  QMenu* menu = view->addMenu("&Projection");
  menu->setObjectName("projectionMenu");
  auto* group = new QActionGroup(this);
  group->setExclusive(true);
  equal_area_ = menu->addAction("&Equal-Area");
  equal_area_->setObjectName("equalAreaProjectionAction");
  elliott_ = menu->addAction("E&lliott");
  elliott_->setObjectName("elliottProjectionAction");
  for (QAction* a : {equal_area_, elliott_}) {
    a->setCheckable(true);
    group->addAction(a);
  }
  SetCurrent(RememberedProjection());
  connect(group, &QActionGroup::triggered, this, [this](QAction* action) {
    const ChartProjection chosen = action == elliott_
                                       ? ChartProjection::kElliott
                                       : ChartProjection::kEqualArea;
    if (chosen == current_) return;
    current_ = chosen;
    RememberProjection(chosen);
    emit Chosen(chosen);
  });
}

ChartProjection ProjectionMenu::Current() const {
  return current_;
}

void ProjectionMenu::SetCurrent(ChartProjection projection) {
  current_ = projection;
  (projection == ChartProjection::kElliott ? elliott_ : equal_area_)
      ->setChecked(true);
}

}  // namespace orvane
