// SPDX-License-Identifier: MIT
// View > Projection: the polar chart drawn in the equal-area projection
// (the default) or in Elliott's equidistant one, as two exclusive actions
// ("equalAreaProjectionAction", "elliottProjectionAction"). The choice is
// kept in the user's settings (QSettings of the organisation and
// application names) for the next session.
#ifndef ORVANE_WINDOW_PROJECTION_MENU_H_
#define ORVANE_WINDOW_PROJECTION_MENU_H_

#include <QObject>
#include <QString>

#include "chart/chart_projection.h"

class QAction;
class QActionGroup;
class QMenu;

namespace orvane {

class ProjectionMenu : public QObject {
  Q_OBJECT

 public:
  // Adds the submenu "&Projection" ("projectionMenu") to `view`, with the
  // remembered projection checked.
  ProjectionMenu(QMenu* view, QObject* parent);

  ChartProjection Current() const;
  // Checks the action of `projection`, without a signal and without
  // storing it (to take back a choice that could not be shown).
  void SetCurrent(ChartProjection projection);

 signals:
  // The user chose a projection other than the one checked before; it is
  // already stored.
  void Chosen(ChartProjection projection);

 private:
  QAction* equal_area_ = nullptr;
  QAction* elliott_ = nullptr;
  ChartProjection current_ = ChartProjection::kEqualArea;
};

// The projection the settings hold: equal-area unless "elliott" was stored.
ChartProjection RememberedProjection();
void RememberProjection(ChartProjection projection);

// The title of the chart's tab: "Equal-Area Projection" or "Elliott
// Projection".
QString ProjectionTabTitle(ChartProjection projection);

}  // namespace orvane

#endif  // ORVANE_WINDOW_PROJECTION_MENU_H_
