// SPDX-License-Identifier: MIT
// The tab "Study": several sections of one sample (io/study.h), each a data
// source and the plane it was cut in, combined into the strain ellipsoid
// (core/ellipsoid.h). The sections in a table with their hyperbolic vector
// means; the buttons that add, edit and remove sections and show one in the
// rest of the window; the ellipsoid's figures with their 95 % limits, its
// report block (or why no ellipsoid was fitted); the Flinn, Hsu and axes
// plots.
//
// The study is analysed on a thread of its own after every change (its
// opening, an edit, new bootstrap settings), so that the window keeps
// answering; a change drops the run under way (it is asked to stop) and only
// the newest run's result is ever shown.
//
// The page holds the study as the window edits it. Sources read from a
// study file keep their paths as the file gives them; sources added here
// are held by their absolute paths, and a save writes them relative to the
// study file. A save to another folder rewrites the relative paths of the
// file so that they still name the same files.
//
// Tests find its widgets by their object names: the page "studyPage", the
// title "studyTitle", the sections "studySections", the buttons
// "addSectionButton", "editSectionButton", "removeSectionButton" and
// "showSectionButton", the file dialog "sectionFileDialog", the section
// dialog "sectionDialog" (its fields "sectionName", "vectorForm",
// "geologicalForm", "normalX".."normalZ", "referenceX".."referenceZ",
// "strike", "dip", "rake"), the ellipsoid's table "ellipsoidTable", the
// line "studyMessage" with the progress bar "studyProgress" and the button
// "studyCancel", the report "studyReport", the plots' tabs "studyPlots" and
// the plots "flinnPlot", "hsuPlot" and "axesPlot".
#ifndef ORVANE_WINDOW_STUDY_PAGE_H_
#define ORVANE_WINDOW_STUDY_PAGE_H_

#include <QString>
#include <QWidget>
#include <memory>
#include <vector>

#include "chart/ellipsoid_plots.h"
#include "core/bootstrap_settings.h"
#include "core/ellipsoid.h"
#include "core/status.h"
#include "io/study.h"
#include "window/background_work.h"
#include "window/plot_widget.h"

class QFileDialog;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTableWidget;
class QTabWidget;
class QTimer;

namespace orvane {

// The plots of the ellipsoid on screen: the window's plot widget holding
// each plot model.
class FlinnPlotWidget : public PlotWidget {
  Q_OBJECT

 public:
  explicit FlinnPlotWidget(QWidget* parent = nullptr);
  FlinnPlot& Plot() { return plot_; }
  const FlinnPlot& Plot() const { return plot_; }

 private:
  FlinnPlot plot_;
};

class HsuPlotWidget : public PlotWidget {
  Q_OBJECT

 public:
  explicit HsuPlotWidget(QWidget* parent = nullptr);
  HsuPlot& Plot() { return plot_; }
  const HsuPlot& Plot() const { return plot_; }

 private:
  HsuPlot plot_;
};

class AxesPlotWidget : public PlotWidget {
  Q_OBJECT

 public:
  explicit AxesPlotWidget(QWidget* parent = nullptr);
  AxesPlot& Plot() { return plot_; }
  const AxesPlot& Plot() const { return plot_; }

 private:
  AxesPlot plot_;
};

// "normal (0, 1, 0), reference (1, 0, 0)" or "strike/dip 120/60, rake 15":
// a section's orientation as the sections' table shows it, the numbers with
// the decimal separator `sep` (the components then apart by "; " where it
// is a comma).
QString OrientationText(const SectionOrientation& orientation,
                        const QString& sep);

class StudyPage : public QWidget {
  Q_OBJECT

 public:
  explicit StudyPage(QWidget* parent = nullptr);
  // Asks every run under way to stop and waits for it.
  ~StudyPage() override;

  // Holds `study`, read from the study file `path` (absolute; empty for a
  // study not yet saved), unmodified, and starts its analysis.
  void SetStudy(const Study& study, const QString& path);
  bool HasStudy() const { return has_study_; }
  // The study as held: the sources read from its file as the file gives
  // them, those added here by their absolute paths.
  const Study& CurrentStudy() const { return study_; }
  QString StudyPath() const { return path_; }
  // Whether the study was changed since it was opened or saved.
  bool Modified() const { return modified_; }

  // The study as a save to `path` writes it: the sources added here, and
  // the relative ones of a file in another folder, relative to `path`'s
  // folder (an absolute path where no relative one leads there).
  Study StudyToSave(const QString& path) const;
  // The study `saved` was written to `path`: it is held from now on, under
  // that path, unmodified.
  void Saved(const Study& saved, const QString& path);

  // The bootstrap of the next analyses; a study held is analysed again when
  // they differ from those of its analysis.
  void SetBootstrap(const BootstrapSettings& settings);
  // The decimal separator of the figures, the report and the plots.
  void SetDecimalSeparator(const QString& sep);

  // Edits, each followed by a new analysis. A section added here is read
  // from `path` (made absolute): a table (its layout detected) for .csv and
  // .tsv, a data file otherwise. SetSection refuses an orientation that
  // PlaneOf refuses, with its message after "Section "name": ", and an
  // empty name; nothing changes then.
  void AddSection(const QString& path, const QString& name,
                  const SectionOrientation& orientation);
  Status SetSection(int index, const QString& name,
                    const SectionOrientation& orientation);
  void RemoveSection(int index);

  // The row chosen in the sections' table, or -1.
  int CurrentSection() const;
  // The path section `index`'s source is read from (SectionPath).
  QString SectionSourcePath(int index) const;

  // The result shown; nullptr while a run is under way or without a study.
  const StudyResult* Result() const;
  // Whether a run is under way whose result will be shown.
  bool Running() const { return runs_.Running(); }

  // The plot of the plots' tab shown, for Save Chart and Export Figure.
  PlotWidget* ShownPlotWidget() const;
  const PlotSource& ShownPlot() const;
  const FlinnPlot& Flinn() const;
  const HsuPlot& Hsu() const;
  const AxesPlot& Axes() const;

 public slots:
  // Asks the run under way to stop: the study is shown refused.
  void onCancel();
  // The buttons: a data file chosen, then its name and orientation (the
  // section dialog); the chosen section's name and orientation; the chosen
  // section taken out; the chosen section shown in the window.
  void onAddSection();
  void onEditSection();
  void onRemoveSection();
  void onShowSection();

 signals:
  // A result was shown, or the one shown was taken away.
  void ResultChanged();
  // The study was edited, or saved, or another one is held.
  void StudyChanged();
  // Section `index` is to be opened in the window as an Open of it would.
  void ShowSectionRequested(int index);
  // A right click on a plot, at `global` on the screen: the window offers
  // what it can do with the plot there.
  void ContextMenuRequested(QPoint global);

 private:
  struct Run;

  // Marks the study modified and analyses it again.
  void Edited();
  // Starts a run of the study held.
  void Start();
  // The newest run has ended: its result is shown.
  void onRunEnded(Run& run);
  // Shows the result held, or the run under way, or no study.
  void ShowResult();
  void FillSections();
  void FillEllipsoid();
  void UpdateTitle();
  void UpdateButtons();
  // The section dialog for `index` (-1: a new section of `path`); false
  // when cancelled.
  bool AskSection(int index, const QString& path, QString& name,
                  SectionOrientation& orientation);

  QLabel* title_ = nullptr;
  QTableWidget* sections_ = nullptr;
  QPushButton* add_ = nullptr;
  QPushButton* edit_ = nullptr;
  QPushButton* remove_ = nullptr;
  QPushButton* show_ = nullptr;
  QFileDialog* file_dialog_ = nullptr;
  QTableWidget* ellipsoid_ = nullptr;
  QLabel* message_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QPushButton* cancel_ = nullptr;
  QTimer* progress_timer_ = nullptr;
  QPlainTextEdit* report_ = nullptr;
  QTabWidget* plots_ = nullptr;
  FlinnPlotWidget* flinn_ = nullptr;
  HsuPlotWidget* hsu_ = nullptr;
  AxesPlotWidget* axes_ = nullptr;
  QString sep_ = ".";

  bool has_study_ = false;
  Study study_;
  // The study file (absolute), the folder its relative sources are read
  // from; empty for a study not yet saved.
  QString path_;
  bool modified_ = false;
  // Sections added here (by index, as study_.sections): their sources are
  // written relative to the study file when it is saved.
  std::vector<bool> added_;
  BootstrapSettings bootstrap_;
  // The settings of the analysis shown or under way.
  BootstrapSettings analysed_with_;

  // The runs not yet ended; only the newest is shown.
  NewestRuns<Run> runs_;
  bool cancelled_ = false;
  std::unique_ptr<StudyResult> result_;
  // Why the shown run has no result (the memory ran out), or empty.
  QString failure_;
};

}  // namespace orvane

#endif  // ORVANE_WINDOW_STUDY_PAGE_H_
